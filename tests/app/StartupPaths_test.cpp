#include "app/ProgramDir.h"
#include "app/StartupPaths.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(StartupPaths, FeedPathFromArgument) {
    const QString prog = "/opt/quillo/";
    const struct {
        const char* argument;
        QString expected;
    } cases[] = {
        {"", ""},
        {"news.xml", "/opt/quillo/news.xml"},
        {"sub/news.xml", "/opt/quillo/sub/news.xml"},
        {"/home/me/news.xml", "/home/me/news.xml"},
        {"C:\\Feeds\\news.xml", "C:\\Feeds\\news.xml"},
        {"http://example.org/feed.xml", "http://example.org/feed.xml"},
        {"NEWS.XML", ""},
        {"news.rss", ""},
        {"-v", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(feedPathFromArgument(c.argument, prog), c.expected) << c.argument;
}

TEST(StartupPaths, WhichArgumentsStartARunAndWhichAreDownloadedFirst) {
    const struct {
        const char* argument;
        bool namesFeed;
        bool downloaded;
    } cases[] = {
        {"news.xml", true, false},
        {"http://example.org/news.xml", true, true},
        {"HTTP://EXAMPLE.ORG/news.xml", true, true},
        {"https://example.org/news.xml", true, true},
        {"http://example.org/news.XML", false, false},
        {"http://example.org/feed", false, false},
        {"feeds/http.xml", true, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(argumentNamesFeed(c.argument), c.namesFeed) << c.argument;
        EXPECT_EQ(argumentIsFeedAddress(c.argument), c.downloaded) << c.argument;
    }
}

TEST(StartupPaths, TheAddressDownloadedHasItsSchemeInLowerCaseAndTheRestAsGiven) {
    EXPECT_EQ(feedAddressOfArgument("HTTP://Example.ORG/Feeds/News.xml"),
              "http://Example.ORG/Feeds/News.xml");
    EXPECT_EQ(feedAddressOfArgument("Https://example.org/news.xml?Q=A://B"),
              "https://example.org/news.xml?Q=A://B");
    EXPECT_EQ(feedAddressOfArgument("http://example.org/news.xml"), "http://example.org/news.xml");
    EXPECT_EQ(feedAddressOfArgument("HTTP:example.org/news.xml"), "HTTP:example.org/news.xml");
}

TEST(StartupPaths, DerivedPaths) {
    EXPECT_EQ(settingsFilePath("/opt/q/"), "/opt/q/quillo.ini");
    EXPECT_EQ(basePathOf("/feeds/news.xml"), "/feeds/news");
    EXPECT_EQ(basePathOf("/feeds/news"), "/feeds/");
    EXPECT_EQ(basePathOf("ab"), "");
    EXPECT_EQ(backupPathOf("/feeds/news.rss"), "/feeds/news.bak");
    EXPECT_EQ(damagedCopyPathOf("/feeds/news.xml"), "/feeds/news.damaged.xml");
    EXPECT_EQ(defaultFileNameOf("/feeds/news.xml"), "news.xml");
    EXPECT_EQ(defaultFileNameOf("/feeds/news.rss"), "news.xml");
    EXPECT_EQ(defaultFileNameOf("/feeds/newsfeed"), "news.xml");
    EXPECT_EQ(defaultFileNameOf("/opt/q/Default.xml"), "Default.xml");
}

TEST(StartupPaths, FtpSitesRoundTripWithCrLf) {
    QTemporaryDir dir;
    const QString prog = dir.path() + "/";
    EXPECT_TRUE(readFtpSites(prog).isEmpty());
    writeFtpSites(prog, {"ftp.a.org/pub", QString::fromUtf8("ftp.b.org/n\xC3\xA9ws")});
    QFile f(prog + "ftpsites.txt");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "ftp.a.org/pub\r\nftp.b.org/n\xC3\xA9ws\r\n");
    EXPECT_EQ(readFtpSites(prog),
              QStringList({"ftp.a.org/pub", QString::fromUtf8("ftp.b.org/n\xC3\xA9ws")}));
}

TEST(StartupPaths, FtpSitesReadAnyLineBreak) {
    QTemporaryDir dir;
    const QString prog = dir.path() + "/";
    const struct {
        QByteArray bytes;
        QStringList expected;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
        {"a\r\n\r\nb\n", {"a", "", "b"}},
    };
    for (const auto& c : cases) {
        QFile f(prog + "ftpsites.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.bytes);
        f.close();
        EXPECT_EQ(readFtpSites(prog), c.expected) << c.bytes.toStdString();
    }
}

TEST(ProgramDir, HomeVariableWinsAndGetsATrailingSlash) {
    // Other tests of this program may rely on the variable as they set it.
    const QByteArray saved = qgetenv("QUILLO_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("QUILLO_HOME");
    const auto restore = qScopeGuard([&] {
        if (wasSet)
            qputenv("QUILLO_HOME", saved);
        else
            qunsetenv("QUILLO_HOME");
    });
    QTemporaryDir dir;
    const QString home = dir.path() + "/home";
    qputenv("QUILLO_HOME", home.toUtf8());
    EXPECT_EQ(resolveProgramDirectory(), home + "/");
    EXPECT_TRUE(QDir(home).exists());
    qputenv("QUILLO_HOME", (home + "/").toUtf8());
    EXPECT_EQ(resolveProgramDirectory(), home + "/");
    qunsetenv("QUILLO_HOME");
    const QString fallback = resolveProgramDirectory();
    EXPECT_TRUE(fallback.endsWith('/'));
    EXPECT_TRUE(QDir(fallback).exists());
}

} // namespace
