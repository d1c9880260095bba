#include "feed/FeedFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

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
