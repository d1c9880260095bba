// Files the engine writes, read by other programs: xmllint must accept them
// and feedparser must see the feed's text exactly.

#include "xml/XmlDom.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Ran {
    int status;
    std::string out;
};

Ran run(const std::string& command) {
    Ran r{-1, {}};
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

class PeerTest : public ::testing::Test {
protected:
    TXmlObjModel model;
    TXmlDocumentPtr doc = model.document();
    fs::path dir = fs::temp_directory_path() /
                   ("quillo-peers-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A feed whose text holds everything the writer must take care of.
    void buildHardFeed(const std::u16string& encoding) {
        if (!encoding.empty())
            doc->appendChild(doc->createProcessingInstruction(
                u"xml", u"version=\"1.0\" encoding=\"" + encoding + u"\""));
        doc->appendChild(doc->createComment(u"made -- by hand \u20ac"));
        auto rss = doc->appendElement(doc, u"rss");
        rss->setAttribute(u"version", u"2.0");
        auto channel = doc->appendElement(rss, u"channel");
        doc->appendText(doc->appendElement(channel, u"title"), u"Caf\u00e9 & <friends>");
        doc->appendText(doc->appendElement(channel, u"link"), u"http://127.0.0.1/");
        doc->appendText(doc->appendElement(channel, u"description"), u"d\u0001\u0008e");
        auto item = doc->appendElement(channel, u"item");
        doc->appendCDATASection(doc->appendElement(item, u"title"), title);
        doc->appendCDATASection(doc->appendElement(item, u"description"),
                                u"a]]>b \u0002 \xD83D\xDE00 \xDC00 line\nbreak");
        auto cat = doc->appendElement(item, u"category");
        cat->setAttribute(u"domain", u"q\"\n<&\u20ac\u000b");
        doc->appendText(cat, u"x");
        doc->appendText(doc->appendElement(item, u"pubDate"), u"Thu, 10 Dec 2026 01:00:00 +0000");
    }
    std::u16string title = u"5 \u20ac a month \xD83D\xDE00 \u00e9 ]]> end";
    std::string titleUtf8 = "5 \xE2\x82\xAC a month \xF0\x9F\x98\x80 \xC3\xA9 ]]> end";
};

TEST_F(PeerTest, XmllintAcceptsEveryEncodingWeWrite) {
    struct Case {
        const char16_t* declared;
        TXmlCharEncoding outCharSet;
    };
    for (Case c : {Case{u"ISO-8859-1", ceISO88591}, Case{u"UTF-8", ceUTF8}, Case{u"", ceUTF8},
                   Case{u"", ceUTF16LE}, Case{u"", ceUTF16BE}}) {
        doc->clear();
        buildHardFeed(c.declared);
        model.setOutCharSet(c.outCharSet);
        std::string path = (dir / "feed.xml").string();
        ASSERT_TRUE(model.saveToSource(path));
        Ran r = run("xmllint --noout " + path);
        EXPECT_EQ(r.status, 0) << c.outCharSet << ": " << r.out;

        TXmlObjModel back;
        ASSERT_TRUE(back.loadFromSource(path)) << c.outCharSet;
        auto cat = back.document()->getElementsByTagName(u"category").item(0);
        EXPECT_EQ(attributeOf(cat, u"domain"), u"q\"\n<&\u20ac") << c.outCharSet;
        EXPECT_EQ(textOf(back.document()->getElementsByTagName(u"description").item(0)), u"de");
    }
}

TEST_F(PeerTest, FeedparserReadsTheSameText) {
    for (TXmlCharEncoding enc : {ceISO88591, ceUTF8}) {
        doc->clear();
        buildHardFeed(enc == ceISO88591 ? u"ISO-8859-1" : u"UTF-8");
        model.setOutCharSet(enc);
        std::string path = (dir / "feed.xml").string();
        model.saveToSource(path);
        Ran r =
            run("/usr/bin/python3 -c \"import feedparser, sys; d = feedparser.parse(sys.argv[1]); "
                "e = d.entries[0]; sys.stdout.buffer.write((str(d.bozo) + '|' + d.feed.title + "
                "'|' + e.title + '|' + e.tags[0].scheme).encode('utf-8'))\" " +
                path);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out, "False|Caf\xC3\xA9 & <friends>|" + titleUtf8 + "|q\"\n<&\xE2\x82\xAC")
            << enc;
    }
}

} // namespace
