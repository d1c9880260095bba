#include "feed/FeedFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

class FeedFilesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString at(const char* name) const { return dir.filePath(name); }
    static void put(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray get(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

TEST_F(FeedFilesTest, WritesNewFileWithGivenPermissionsAndLeavesNoTemporary) {
    const QString path = at("news.xml");
    writeFileAtomically(path, "<rss/>", "err", QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(get(path), "<rss/>");
    EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(entries(), QStringList{"news.xml"});
}

TEST_F(FeedFilesTest, ReplacingKeepsTheTargetsPermissions) {
    const QString path = at("news.xml");
    put(path, "old");
    const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup;
    QFile::setPermissions(path, perms);
    writeFileAtomically(path, "new", "err");
    EXPECT_EQ(get(path), "new");
    EXPECT_EQ(QFile::permissions(path) & 0x7077, perms);
}

TEST_F(FeedFilesTest, ReadOnlyTargetKeepsItsContentAndThrows) {
    const QString path = at("news.xml");
    put(path, "old");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    try {
        writeFileAtomically(path, "new", "Cannot create file " + path);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "Cannot create file " + path);
    }
    EXPECT_EQ(get(path), "old");
    EXPECT_EQ(entries(), QStringList{"news.xml"});
}

TEST_F(FeedFilesTest, MissingDirectoryThrows) {
    EXPECT_THROW(writeFileAtomically(at("no/such/dir.xml"), "x", "err"), std::runtime_error);
}

TEST_F(FeedFilesTest, SymbolicLinkIsFollowed) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    const QString real = at("real/news.xml");
    const QString link = at("news.xml");
    put(real, "old");
    ASSERT_TRUE(QFile::link(real, link));
    writeFileAtomically(link, "new", "err");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(get(real), "new");

    const QString dangling = at("later.xml");
    ASSERT_TRUE(QFile::link(at("real/later.xml"), dangling));
    writeFileAtomically(dangling, "made", "err");
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_EQ(get(at("real/later.xml")), "made");
}

TEST_F(FeedFilesTest, FileCopyCopiesBytesAndReportsBothEnds) {
    const QByteArray bytes("a\0b\r\n\xff", 6);
    put(at("news.bak"), bytes);
    fileCopy(at("news.bak"), at("news.xml"));
    EXPECT_EQ(get(at("news.xml")), bytes);

    try {
        fileCopy(at("missing.bak"), at("news.xml"));
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "Cannot open file " + at("missing.bak"));
    }
    try {
        fileCopy(at("news.bak"), at("no/dir.xml"));
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "Cannot create file " + at("no/dir.xml"));
    }
    EXPECT_EQ(get(at("news.xml")), bytes);
}

TEST_F(FeedFilesTest, KeepDamagedCopyLeavesTheOriginalAlone) {
    put(at("news.xml"), "<rss><chan");
    const QString copy = keepDamagedCopy(at("news.xml"));
    EXPECT_EQ(copy, at("news.damaged.xml"));
    EXPECT_EQ(get(copy), "<rss><chan");
    EXPECT_EQ(get(at("news.xml")), "<rss><chan");
}

TEST_F(FeedFilesTest, LinkedBackupKeepsItsBytesWhenTheFeedIsReplaced) {
    const QString feed = at("news.xml");
    const QString backup = at("news.bak");
    put(feed, "first");
    // Made as a Save makes it, and replaced as a Save replaces it.
    ASSERT_TRUE(linkAsBackup(feed, backup));
    EXPECT_EQ(get(backup), "first");
    writeFileAtomically(feed, "second", "err");
    ASSERT_TRUE(linkAsBackup(feed, backup));
    writeFileAtomically(feed, "third", "err");
    EXPECT_EQ(get(backup), "second");
    EXPECT_EQ(get(feed), "third");
    EXPECT_EQ(QFileInfo(backup).permissions(), QFileInfo(feed).permissions());
    EXPECT_EQ(entries(), (QStringList{"news.bak", "news.xml"}));
}

struct LinkRefusalCase {
    const char* name;
    std::function<void(const QString& dir)> arrange; // feed "new" and backup "old" are there
};

class LinkAsBackupRefusal : public FeedFilesTest,
                            public ::testing::WithParamInterface<LinkRefusalCase> {};

TEST_P(LinkAsBackupRefusal, LeavesTheBackupForAWrite) {
    put(at("news.xml"), "new");
    put(at("news.bak"), "old");
    GetParam().arrange(dir.path());
    const QStringList before = entries();
    EXPECT_FALSE(linkAsBackup(at("news.xml"), at("news.bak")));
    EXPECT_EQ(get(at("news.bak")), "old");
    EXPECT_EQ(entries(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkAsBackupRefusal,
    ::testing::Values(LinkRefusalCase{"ReadOnlyBackup",
                                      [](const QString& d) {
                                          QFile::setPermissions(d + "/news.bak", QFile::ReadOwner);
                                      }},
                      LinkRefusalCase{"BackupWithOtherPermissions",
                                      [](const QString& d) {
                                          QFile::setPermissions(
                                              d + "/news.bak",
                                              QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::WriteGroup |
                                                  QFile::ReadOther | QFile::WriteOther);
                                      }},
                      // A Save writes through a link: replacing the link would not do that.
                      LinkRefusalCase{"BackupIsALink",
                                      [](const QString& d) {
                                          QFile::rename(d + "/news.bak", d + "/real.bak");
                                          QFile::link(d + "/real.bak", d + "/news.bak");
                                      }},
                      LinkRefusalCase{"FeedIsALink",
                                      [](const QString& d) {
                                          QFile::rename(d + "/news.xml", d + "/real.xml");
                                          QFile::link(d + "/real.xml", d + "/news.xml");
                                      }},
                      LinkRefusalCase{"FeedMissing",
                                      [](const QString& d) { QFile::remove(d + "/news.xml"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FeedFilesTest, StampTellsAReplacedFileFromTheSameOne) {
    const QString feed = at("news.xml");
    EXPECT_FALSE(fileStampOf(feed));
    put(feed, "first");
    const std::optional<TFileStamp> first = fileStampOf(feed);
    ASSERT_TRUE(first);
    EXPECT_EQ(fileStampOf(feed), first);
    writeFileAtomically(feed, "first", "err");
    EXPECT_NE(fileStampOf(feed), first);
}

TEST(FeedTags, AllSixCaseSensitiveTagsAreNeeded) {
    const QByteArray full =
        "<rss version=\"2.0\"><channel><item><description>x</description></item></channel></rss>";
    EXPECT_TRUE(hasFeedTags(full));
    for (const char* tag :
         {"<rss", "</rss>", "<item>", "</item>", "<description>", "</description>"}) {
        QByteArray without = full;
        without.replace(tag, "<other>");
        EXPECT_FALSE(hasFeedTags(without)) << tag;
    }
    EXPECT_FALSE(hasFeedTags("<RSS><ITEM><DESCRIPTION>x</DESCRIPTION></ITEM></RSS>"));
    EXPECT_FALSE(hasFeedTags("<rss><item><description/></item></rss>"));
    EXPECT_FALSE(hasFeedTags("<rss><item id=\"1\"><description>x</description></item></rss>"));
}

} // namespace
