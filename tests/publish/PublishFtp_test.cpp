// A feed file published to the FTP server from Debian under the remote path
// made of the FTP location and the file name.

#include "xml/FtpTestServer.h"
#include "publish/PublishTarget.h"
#include "xml/XmlFtp.h"
#include "xml/XmlSource.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST(PublishFtp, TheFeedLandsWhereLocationAndNameSay) {
    ftptest::FtpTestServer server;
    ASSERT_TRUE(server.start());
    const fs::path feed = server.root().string() + ".feed.xml";
    const std::string bytes = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<rss "
                              "version=\"2.0\">\r\n  <channel>\r\n    <title>caf\xE9</title>\r\n"
                              "  </channel>\r\n</rss>";
    ftptest::writeFile(feed, bytes);
    const struct {
        std::string location;
        const char* stored;
    } cases[] = {
        {server.host() + "/feeds", "feeds/news.xml"},
        {server.host() + "/feeds/", "feeds/news.xml"},
        {server.host() + "/feeds/daily", "feeds/daily/news.xml"},
        {server.host(), "news.xml"},
    };
    for (const auto& c : cases) {
        fs::remove_all(server.root());
        fs::create_directories(server.root() / "feeds/daily");
        const QString remote = ftpRemotePath(QString::fromStdString(c.location), "news.xml");
        TXmlErrorList errors;
        EXPECT_TRUE(putFileByFtp(remote.toStdString(), server.user, server.password, &errors,
                                 feed.string()))
            << c.location;
        EXPECT_TRUE(errors.empty()) << c.location << ": " << utf16ToUtf8(errors.front());
        EXPECT_EQ(server.read(c.stored), bytes) << c.location;
    }

    TXmlErrorList errors;
    EXPECT_FALSE(putFileByFtp(
        ftpRemotePath(QString::fromStdString(server.host() + "/feeds"), "news.xml").toStdString(),
        server.user, "wrong", &errors, feed.string()));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(utf16ToUtf8(errors[0]), "Unable to make Internet connection");
    fs::remove(feed);
}

} // namespace
