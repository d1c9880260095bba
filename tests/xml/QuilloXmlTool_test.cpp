// quillo-xml, run as a program.

#include "feed/FeedTemplate.h"
#include "xml/XmlDom.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ToolTest : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() /
                   ("quillo-tool-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::string out, err;

    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }
    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Runs the tool with args (already quoted), stdin from a file when given.
    int tool(const std::string& args, const std::string& stdinFile = "/dev/null") {
        std::string cmd = std::string("'") + QUILLO_XML_TOOL + "' " + args + " <'" + stdinFile +
                          "' >'" + (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
        int st = std::system(cmd.c_str());
        out = read(dir / "out");
        err = read(dir / "err");
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
};

TEST_F(ToolTest, CheckReportsEachFile) {
    std::string good = file("good.xml", "<rss><channel/></rss>");
    std::string bad = file("bad.xml", "<rss><channel></rss>");
    std::string missing = (dir / "missing.xml").string();
    EXPECT_EQ(tool("check '" + good + "'"), 0);
    EXPECT_EQ(out, good + ": ok\n");

    EXPECT_EQ(tool("check '" + good + "' '" + bad + "' '" + missing + "'"), 1);
    std::istringstream lines(out);
    std::string l1, l2, l3;
    std::getline(lines, l1);
    std::getline(lines, l2);
    std::getline(lines, l3);
    EXPECT_EQ(l1, good + ": ok");
    EXPECT_EQ(l2.rfind(bad + ": File: ", 0), 0u) << l2;
    EXPECT_NE(l2.find("Mismatched end tag: Start tag = \"channel\" End tag = \"rss\""),
              std::string::npos)
        << l2;
    EXPECT_EQ(l3, missing + ": File " + missing + " could not be found");
}

TEST_F(ToolTest, FormatWritesWhatSaveToSourceWrites) {
    std::string feed = file("feed.xml", "<?xml version='1.0' encoding='iso-8859-1'?>\n"
                                        "<rss version='2.0'><channel><title>Caf\xE9</title>"
                                        "<item><title><![CDATA[D\xE9j\xE0]]></title></item>"
                                        "</channel></rss>\n");
    ASSERT_EQ(tool("format '" + feed + "'"), 0) << err;
    TXmlObjModel model;
    ASSERT_TRUE(model.loadFromSource(feed));
    model.saveToSource((dir / "saved.xml").string());
    EXPECT_EQ(out, read(dir / "saved.xml"));
    EXPECT_TRUE(err.empty());

    // Formatting its own output changes nothing.
    std::string once = file("once.xml", out);
    ASSERT_EQ(tool("format '" + once + "'"), 0);
    EXPECT_EQ(out, read(once));
}

TEST_F(ToolTest, FormatReadsStandardInputAsMemory) {
    std::string tmpl = file("template.xml", std::string(NewFeedTemplate));
    ASSERT_EQ(tool("format -", tmpl), 0) << err;
    EXPECT_EQ(out.size(), 350u);
    std::string utf8 = file("utf8.xml", "<a><![CDATA[caf\xC3\xA9]]></a>");
    ASSERT_EQ(tool("format -", utf8), 0) << err;
    EXPECT_EQ(out, "<a><![CDATA[caf\xC3\xA9]]>\r\n</a>");
    std::string again = file("again.xml", out);
    ASSERT_EQ(tool("format -", again), 0) << err;
    EXPECT_EQ(out, read(again));
}

TEST_F(ToolTest, FormatWritesWhatWasBuiltAndFailsOnErrors) {
    std::string broken = file("broken.xml", "<rss><channel><title>t</title>");
    EXPECT_EQ(tool("format '" + broken + "'"), 1);
    EXPECT_EQ(out, "<rss>\r\n  <channel>\r\n    <title>t</title>\r\n  </channel>\r\n</rss>");
    EXPECT_NE(err.find("Unexpected end of file"), std::string::npos) << err;
    EXPECT_EQ(tool("format '" + (dir / "none.xml").string() + "'"), 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("could not be found"), std::string::npos);
}

TEST_F(ToolTest, UsageErrors) {
    for (const char* args : {"", "check", "format", "format a b", "lint x"}) {
        EXPECT_EQ(tool(args), 2) << args;
        EXPECT_NE(err.find("usage: quillo-xml"), std::string::npos) << args;
        EXPECT_TRUE(out.empty());
    }
}

} // namespace
