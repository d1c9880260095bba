// The file a downloaded feed is stored in.

#include "publish/FeedDownload.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(FeedDownload, TheFileNameIsWhatFollowsTheLastSlash) {
    const struct {
        const char* url;
        const char* name;
    } cases[] = {
        {"http://example.org/feeds/news.xml", "news.xml"},
        {"http://example.org/news.xml?day=1&x=%41", "news.xml?day=1&x=%41"},
        {"http://example.org/feeds/", "http://example.org/feeds/"},
        {"news.xml", "news.xml"},
        {"", ""},
        {"http://example.org/a%2Fb.xml", "a%2Fb.xml"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(URLFileName(c.url), c.name) << c.url;
}

TEST(FeedDownload, TheDownloadGoesIntoTheProgramDirectory) {
    EXPECT_EQ(downloadFilePath("/opt/quillo/", "http://example.org/feeds/news.xml"),
              "/opt/quillo/news.xml");
    EXPECT_EQ(downloadFilePath("/opt/quillo/", "http://example.org/feeds/Quillo.ini.xml"),
              "/opt/quillo/Quillo.ini.xml");
}

TEST(FeedDownload, NamesThatAreNotADownloadOfTheProgramDirectoryAreRefused) {
    const char* urls[] = {
        "http://example.org/quillo.ini",
        "http://example.org/QUILLO.INI",
        "http://example.org/feeds/FtpSites.txt",
        "http://example.org/feeds/",
        "http://example.org/..",
        "http://example.org/.",
        "",
    };
    for (const char* url : urls) {
        const QString path = "/opt/quillo/" + URLFileName(url);
        try {
            downloadFilePath("/opt/quillo/", url);
            ADD_FAILURE() << url << " was taken";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), "Cannot create file " + path) << url;
        }
    }
    EXPECT_TRUE(isProgramFileName("Ftpsites.TXT"));
    EXPECT_FALSE(isProgramFileName("quillo.ini.bak"));
}

// A download gives a document to check only when the request ended without an
// error, with a success status, and with a body.
TEST(FeedDownload, AFinishedRequestGivesADocumentOrTheReasonItDidNot) {
    const QString reset = "Connection reset by peer (Error #10054)";
    const struct {
        const char* what;
        TDownloadResponse response;
        QString failure;
    } cases[] = {
        {"a feed", {0, 200, "OK", {}, true}, ""},
        {"a response without a header", {0, 0, "", {}, true}, ""},
        {"an error page", {0, 404, "Not Found", {}, true}, "404 Not Found"},
        {"a relocation that was not followed",
         {0, 302, "too many relocations", {}, false},
         "302 too many relocations"},
        {"an empty body", {0, 200, "OK", {}, false}, "the server sent no document"},
        {"an unknown host",
         {11001, 404, "can't resolve hostname to IP address.", reset, false},
         "can't resolve hostname to IP address"},
        {"a transfer broken after a success status", {10054, 200, "OK", reset, true}, reset},
        {"a connection broken before any status", {10054, 0, "OK", reset, false}, reset},
    };
    for (const auto& c : cases)
        EXPECT_EQ(downloadFailure(c.response), c.failure) << c.what;
}

} // namespace
