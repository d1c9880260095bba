// The FTP store against the Debian FTP server on 127.0.0.1, well-behaved and
// misbehaving.

#include "xml/FtpTestServer.h"
#include "xml/XmlDom.h"
#include "xml/XmlFtp.h"
#include "xml/XmlSource.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;
using ftptest::FtpTestServer;
using Lines = std::vector<std::string>;
using namespace std::string_literals;

namespace {

Lines asLines(const TXmlErrorList& errors) {
    Lines out;
    for (const auto& e : errors)
        out.push_back(utf16ToUtf8(e));
    return out;
}

// Every byte value, line breaks of all kinds, and more than one buffer's worth.
std::string binaryBytes(std::size_t size) {
    std::string bytes = "<rss>\r\n\n\r\x00\xFF\x80\x1A"s;
    std::mt19937 random(7);
    while (bytes.size() < 65536)
        bytes += static_cast<char>(random() & 0xFF);
    while (bytes.size() < size)
        bytes += bytes.substr(0, size - bytes.size());
    bytes.resize(size);
    return bytes;
}

class FtpStore : public ::testing::Test {
protected:
    FtpTestServer server;
    fs::path local;

    void SetUp() override {
        local = server.root().parent_path() / (server.root().filename().string() + ".local");
    }
    void TearDown() override { fs::remove(local); }

    void startServer(const std::string& mode = "normal", long after = 65536) {
        ASSERT_TRUE(server.start(mode, after)) << "the FTP server did not start";
    }
    void setLocal(const std::string& bytes) { ftptest::writeFile(local, bytes); }

    bool put(const std::string& path, Lines& errors, const std::string& password = "",
             long limit = FtpNoProgressLimitSeconds) {
        TXmlErrorList list;
        TXmlFtpOptions options;
        options.noProgressLimitSeconds = limit;
        bool ok = putFileByFtp(server.host() + path, server.user,
                               password.empty() ? server.password : password, &list, local.string(),
                               options);
        errors = asLines(list);
        return ok;
    }
};

TEST_F(FtpStore, StoresTheBytesOfTheFileWhereTheLocationSays) {
    struct Case {
        const char* path;
        const char* stored;
        Lines errors;
    };
    const Case cases[] = {
        {"/feeds/news.xml", "feeds/news.xml", {}},
        {"/feeds/daily/news.xml", "feeds/daily/news.xml", {}},
        {"/news.xml", "news.xml", {}},
        {"/upload directory/news.xml", "upload directory/news.xml", {}},
        {"/nosuch/news.xml", "news.xml", {"Invalid ftp directory"}},
        {"/feeds/nosuch/news.xml", "news.xml", {"Invalid ftp directory"}},
    };
    startServer();
    const std::string bytes = binaryBytes(300000);
    setLocal(bytes);
    for (const Case& c : cases) {
        fs::remove_all(server.root());
        for (const char* dir : {"feeds/daily", "upload directory"})
            fs::create_directories(server.root() / dir);
        server.write(c.stored, "old");
        Lines errors;
        EXPECT_TRUE(put(c.path, errors)) << c.path;
        EXPECT_EQ(errors, c.errors) << c.path;
        EXPECT_TRUE(server.read(c.stored) == bytes) << c.path;
        for (const auto& name : server.names(fs::path(c.stored).parent_path().string()))
            EXPECT_EQ(name.find(".upload-"), std::string::npos)
                << c.path << ": a temporary file was left behind";
    }
}

TEST_F(FtpStore, StoresANewFileAndReplacesItAgain) {
    startServer();
    fs::create_directories(server.root() / "feeds");
    for (const std::string& bytes : {"first"s, "second, longer than the first"s, ""s}) {
        setLocal(bytes);
        Lines errors;
        EXPECT_TRUE(put("/feeds/news.xml", errors));
        EXPECT_EQ(errors, Lines{});
        EXPECT_EQ(server.read("feeds/news.xml"), bytes);
        EXPECT_EQ(server.names("feeds"), Lines{"news.xml"});
    }
}

TEST_F(FtpStore, ReportsWhatKeptTheFileFromTheServer) {
    struct Case {
        const char* path;
        std::string password;
        bool localFile;
        Lines errors;
    };
    startServer();
    fs::create_directories(server.root() / "feeds");
    server.write("feeds/news.xml", "old");
    const std::string where = server.host();
    const Case cases[] = {
        {"", "", true, {"Invalid ftp location"}},
        {"/feeds/news.xml", "wrong", true, {"Unable to make Internet connection"}},
        {"/feeds/", "", true, {"Could not save file via ftp to " + where + "/feeds/"}},
        {"/feeds/news.xml",
         "",
         false,
         {"Could not save file via ftp to " + where + "/feeds/news.xml"}},
        {"/feeds/news\r\nDELE news.xml",
         "",
         true,
         {"Could not save file via ftp to " + where + "/feeds/news\r\nDELE news.xml"}},
        {"/feeds\r\nDELE news.xml/x.xml", "", true, {"Invalid ftp directory"}},
    };
    for (const Case& c : cases) {
        if (c.localFile)
            setLocal("new");
        else
            fs::remove(local);
        Lines errors;
        bool ok = put(c.path, errors, c.password);
        EXPECT_EQ(errors, c.errors) << c.path;
        // A directory that cannot be named is refused like a missing one.
        EXPECT_EQ(ok, c.errors == Lines{"Invalid ftp directory"}) << c.path;
        EXPECT_EQ(server.read("feeds/news.xml"), "old") << c.path;
        EXPECT_EQ(server.names("feeds"), Lines{"news.xml"}) << c.path;
        fs::remove(server.root() / "x.xml");
    }
}

TEST_F(FtpStore, ReportsAServerThatIsNotThere) {
    setLocal("new");
    TXmlErrorList errors;
    std::string host = "127.0.0.1:" + std::to_string(ftptest::freePort());
    EXPECT_FALSE(putFileByFtp(host + "/news.xml", "quillo", "secret", &errors, local.string()));
    EXPECT_EQ(asLines(errors), Lines{"Unable to make Internet connection"});
    EXPECT_FALSE(putFileByFtp("/news.xml", "quillo", "secret", nullptr, local.string()));
}

TEST_F(FtpStore, AnUploadCutOffHalfWayLeavesThePublishedFileAsItWas) {
    startServer("cut", 64 * 1024);
    fs::create_directories(server.root() / "feeds");
    server.write("feeds/news.xml", "old");
    setLocal(binaryBytes(4 * 1024 * 1024));
    Lines errors;
    EXPECT_FALSE(put("/feeds/news.xml", errors));
    EXPECT_EQ(errors, Lines{"Could not save file via ftp to " + server.host() + "/feeds/news.xml"});
    EXPECT_EQ(server.read("feeds/news.xml"), "old");
    EXPECT_EQ(server.names("feeds"), Lines{"news.xml"}) << "the partial upload was not removed";
}

TEST_F(FtpStore, AServerThatRefusesTheRenameGetsTheFileUnderItsName) {
    startServer("norename");
    fs::create_directories(server.root() / "feeds");
    server.write("feeds/news.xml", "old");
    const std::string bytes = binaryBytes(100000);
    setLocal(bytes);
    Lines errors;
    EXPECT_TRUE(put("/feeds/news.xml", errors));
    EXPECT_EQ(errors, Lines{});
    EXPECT_TRUE(server.read("feeds/news.xml") == bytes);
    EXPECT_EQ(server.names("feeds"), Lines{"news.xml"});
}

TEST_F(FtpStore, AServerThatStopsAnsweringEndsTheStoreAfterTheLimit) {
    struct Case {
        const char* mode; // "" for a listener that never greets
        std::size_t size;
        bool storeStep;
    };
    const Case cases[] = {
        {"", 100, false},
        {"stallstor", 100, true},
        {"stalldata", 32 * 1024 * 1024, true},
    };
    for (const Case& c : cases) {
        FtpTestServer stalled;
        int listener = -1;
        std::string host;
        if (*c.mode) {
            ASSERT_TRUE(stalled.start(c.mode, 64 * 1024)) << c.mode;
            fs::create_directories(stalled.root() / "feeds");
            stalled.write("feeds/news.xml", "old");
            host = stalled.host();
        } else {
            int port = 0;
            listener = ftptest::listenOnLoopback(port);
            ASSERT_GE(listener, 0);
            host = "127.0.0.1:" + std::to_string(port);
        }
        setLocal(binaryBytes(c.size));
        TXmlErrorList errors;
        TXmlFtpOptions options;
        options.noProgressLimitSeconds = 1;
        auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(putFileByFtp(host + "/feeds/news.xml", stalled.user, stalled.password, &errors,
                                  local.string(), options))
            << c.mode;
        EXPECT_LT(std::chrono::steady_clock::now() - started,
                  std::chrono::seconds(FtpNoProgressLimitSeconds - 10))
            << c.mode << ": the limit was not the one asked for";
        EXPECT_EQ(asLines(errors),
                  Lines{c.storeStep ? "Could not save file via ftp to " + host + "/feeds/news.xml"
                                    : "Unable to make Internet connection"})
            << c.mode;
        if (*c.mode) {
            EXPECT_EQ(stalled.read("feeds/news.xml"), "old") << c.mode;
        }
        if (listener >= 0)
            ::close(listener);
    }
}

// The writer's "ftp://" destination goes through the same store.
TEST_F(FtpStore, SavingAnFtpDestinationStoresTheDocumentsBytes) {
    startServer();
    fs::create_directories(server.root() / "feeds");
    TXmlObjModel model;
    const std::string feed = "<rss version=\"2.0\"><channel/></rss>";
    ASSERT_TRUE(model.loadFromMemory(feed.data(), feed.size()));
    model.setUserName(server.user);
    model.setPassword(server.password);

    // The temporary copy of the text goes away afterwards.
    fs::path temp = server.root().parent_path() / (server.root().filename().string() + ".tmp");
    fs::create_directories(temp);
    const char* oldTmp = std::getenv("TMPDIR");
    std::string saved = oldTmp ? oldTmp : "";
    ::setenv("TMPDIR", temp.c_str(), 1);
    bool ok = model.saveToSource("FTP://" + server.host() + "/feeds/rss.xml");
    if (oldTmp)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_TRUE(ok);
    EXPECT_EQ(asLines(model.errorList()), Lines{});
    EXPECT_EQ(server.read("feeds/rss.xml"), xmlBytes(*model.document()));
    EXPECT_TRUE(fs::is_empty(temp));
    fs::remove_all(temp);

    model.setPassword("wrong");
    EXPECT_FALSE(model.saveToSource("ftp://" + server.host() + "/feeds/rss.xml"));
    EXPECT_EQ(asLines(model.errorList()), Lines{"Unable to make Internet connection"});
}

} // namespace
