// Where a publication goes: remote and local paths, the FTP site list, and the
// message that asks for missing FTP details.

#include "publish/PublishTarget.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(PublishTarget, TheRemotePathJoinsLocationAndNameWithOneSlash) {
    const struct {
        const char* location;
        const char* name;
        const char* expected;
    } cases[] = {
        {"server/feeds", "news.xml", "server/feeds/news.xml"},
        {"server/feeds/", "news.xml", "server/feeds/news.xml"},
        {"server/upload directory", "news.xml", "server/upload directory/news.xml"},
        {"server", "news.xml", "server/news.xml"},
        {"server/", "news.xml", "server/news.xml"},
        {"server/feeds//", "news.xml", "server/feeds//news.xml"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ftpRemotePath(c.location, c.name), c.expected) << c.location;
}

TEST(PublishTarget, TheLocalPathPutsOneSeparatorBeforeTheName) {
    EXPECT_EQ(localPublicationPath("/srv/www", "news.xml"), "/srv/www/news.xml");
    EXPECT_EQ(localPublicationPath("/srv/www/", "news.xml"), "/srv/www/news.xml");
    EXPECT_EQ(localPublicationPath("/", "news.xml"), "/news.xml");
}

TEST(PublishTarget, AddingASiteWritesTheWholeListWithCrLfAndKeepsEmptyAndRepeatedOnes) {
    QTemporaryDir dir;
    const QString prog = dir.path() + "/";
    QStringList sites = readFtpSites(prog);
    EXPECT_TRUE(sites.isEmpty());
    for (const char* site : {"ftp.example.org/feeds", "", "ftp.example.org/feeds"})
        appendFtpSite(prog, sites, site);
    const QStringList expected = {"ftp.example.org/feeds", "", "ftp.example.org/feeds"};
    EXPECT_EQ(sites, expected);
    EXPECT_EQ(contentOf(ftpSitesPath(prog)),
              "ftp.example.org/feeds\r\n\r\nftp.example.org/feeds\r\n");
    EXPECT_EQ(readFtpSites(prog), expected);
}

TEST(PublishTarget, AddingASiteThatCannotBeWrittenLeavesListAndFileAsTheyWere) {
    QTemporaryDir dir;
    const QString prog = dir.path() + "/";
    QStringList sites = {"a/b"};
    writeFtpSites(prog, sites);
    QFile::setPermissions(ftpSitesPath(prog), QFile::ReadOwner);
    try {
        appendFtpSite(prog, sites, "c/d");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "Cannot create file " + ftpSitesPath(prog));
    }
    EXPECT_EQ(sites, QStringList{"a/b"});
    EXPECT_EQ(contentOf(ftpSitesPath(prog)), "a/b\r\n");
}

TEST(PublishTarget, TheFtpDetailsMessageNamesWhatIsMissing) {
    const QString user = "Enter your FTP User ID in the User ID field";
    const QString password = "Enter your FTP Password in the Password field";
    const QString end = "\nThen:\nPress the Publish Button.";
    const struct {
        FtpSiteChoice choice;
        bool userEmpty;
        bool passwordEmpty;
        QString expected;
    } cases[] = {
        {FtpSiteChoice::Chosen, true, true, user + " and " + password + end},
        {FtpSiteChoice::Chosen, true, false, user + end},
        {FtpSiteChoice::Chosen, false, true, password + end},
        {FtpSiteChoice::NoneKnown, false, false, "Please add an FTP Site." + end},
        {FtpSiteChoice::NoneKnown, true, true,
         "Please add an FTP Site.\nThen:\n" + user + " and " + password + end},
        {FtpSiteChoice::NoneChosen, false, true,
         "Please select an FTP Site.\nThen:\n" + password + end},
        {FtpSiteChoice::NoneChosen, false, false, "Please select an FTP Site." + end},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ftpDetailsMessage(c.choice, c.userEmpty, c.passwordEmpty), c.expected)
            << c.expected.toStdString();
}

} // namespace
