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

} // namespace
