#include "app/IniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("quillo.ini");

    void writeRaw(const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readRaw() {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesDefault) {
    TIniFile ini(path);
    EXPECT_EQ(ini.readString("Publication", "FilePath", "dflt"), "dflt");
    writeRaw("[Publish]\nLocalPath=/srv\n");
    EXPECT_EQ(ini.readString("Publication", "FilePath", "dflt"), "dflt");
    EXPECT_EQ(ini.readString("Publish", "FTPPath", "dflt"), "dflt");
    EXPECT_TRUE(ini.readBool("Publish", "Missing", true));
    EXPECT_FALSE(QFile::exists(dir.filePath("other.ini")));
}

TEST_F(IniFileTest, ReadsValuesAsTheRulesSay) {
    const QString longValue(3000, 'x');
    writeRaw("; a comment=not a key\n"
             "[Publish]\r\n"
             "  LocalPath  =   /srv/www   \r\n"
             "Double=\"  quoted  \"\n"
             "Single='it'\n"
             "HalfQuoted=\"open\n"
             "Mixed=\"a'\n"
             "Inner=a \"b\" c\n"
             "Empty=\n"
             "Long=" +
             longValue.toUtf8() +
             "\n"
             "Equals=a=b\n"
             "Umlaut=Gr\xC3\xBC\xC3\x9F"
             "e\n"
             "[ /feeds/[x]news.xml ]\n"
             "UserID=joe\n");
    TIniFile ini(path);
    const struct {
        const char* section;
        const char* key;
        QString expected;
    } cases[] = {
        {"publish", "LOCALPATH", "/srv/www"},
        {"Publish", "Double", "  quoted  "},
        {"Publish", "Single", "it"},
        {"Publish", "HalfQuoted", "\"open"},
        {"Publish", "Mixed", "\"a'"},
        {"Publish", "Inner", "a \"b\" c"},
        {"Publish", "Empty", ""},
        {"Publish", "Long", QString(2047, 'x')},
        {"Publish", "Equals", "a=b"},
        {"Publish", "Umlaut",
         QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                           "e")},
        {"/FEEDS/[X]NEWS.XML", "userid", "joe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini.readString(c.section, c.key, "dflt"), c.expected) << c.key;
    EXPECT_EQ(ini.readString("Publish", "; a comment", "dflt"), "dflt");
}

TEST_F(IniFileTest, ReadsBooleansAsIntegers) {
    writeRaw("[S]\nz=0\none=1\nneg=-3\ndollar=$1F\ndollarZero=$0\nhex=0x10\nhexZero=0X0\n"
             "word=true\nempty=\nhalf=12ab\nbareDollar=$\n");
    TIniFile ini(path);
    const struct {
        const char* key;
        bool def;
        bool expected;
    } cases[] = {
        {"z", true, false},       {"one", false, true},        {"neg", false, true},
        {"dollar", false, true},  {"dollarZero", true, false}, {"hex", false, true},
        {"hexZero", true, false}, {"word", true, true},        {"word", false, false},
        {"empty", true, true},    {"half", false, false},      {"bareDollar", true, true},
        {"missing", true, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini.readBool("S", c.key, c.def), c.expected) << c.key << " def " << c.def;
}

TEST_F(IniFileTest, WritingCreatesTheFileWithOwnerOnlyPermissions) {
    TIniFile ini(path);
    ini.writeString("Publication", "FilePath", "/feeds/news.xml");
    ini.writeBool("Feed", "AdvancedCapture", true);
    ini.writeBool("Feed", "Other", false);
    EXPECT_EQ(readRaw(), "[Publication]\nFilePath=/feeds/news.xml\n[Feed]\nAdvancedCapture=1\n"
                         "Other=0\n");
    EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_TRUE(ini.readBool("feed", "advancedcapture", false));
}

TEST_F(IniFileTest, WritingMakesAnOpenSettingsFileOwnerOnly) {
    writeRaw("[Publish]\nFTPPath=ftp.example.org/feeds\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    QFile::ReadOther);
    TIniFile(path).writeString("feed", "Password", "secret");
    EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(TIniFile(path).readString("FEED", "password", ""), "secret");
}

TEST_F(IniFileTest, WritesInPlaceAndKeepsEveryOtherLine) {
    writeRaw("; settings\r\n"
             "[Publish]\r\n"
             "localpath = /old   \r\n"
             "# keep me\r\n"
             "\r\n"
             "[Publication]\r\n"
             "FilePath=/a.xml");
    TIniFile ini(path);
    ini.writeString("PUBLISH", "LocalPath", "/new");
    ini.writeString("publish", "FTPPath", "ftp.example/dir");
    ini.writeString("Publication", "WebPath", "http://x/");
    ini.writeString("Third", "Key", "v");
    EXPECT_EQ(readRaw(), "; settings\r\n"
                         "[Publish]\r\n"
                         "localpath =/new\r\n"
                         "# keep me\r\n"
                         "FTPPath=ftp.example/dir\r\n"
                         "\r\n"
                         "[Publication]\r\n"
                         "FilePath=/a.xml\r\n"
                         "WebPath=http://x/\r\n"
                         "[Third]\r\n"
                         "Key=v\r\n");
}

TEST_F(IniFileTest, WrittenValuesReadBackAsWritten) {
    TIniFile ini(path);
    const QString values[] = {" pass word ", "\"quoted\"", "'single'",
                              "plain",       "",           QString::fromUtf8("\xE2\x82\xAC uro")};
    for (const QString& v : values) {
        ini.writeString("Feed", "Password", v);
        EXPECT_EQ(ini.readString("Feed", "Password", "dflt"), v);
    }
}

TEST_F(IniFileTest, LineBreaksCannotInjectEntries) {
    TIniFile ini(path);
    ini.writeString("Feed", "Capture", "http://a/\n[Publication]\nFilePath=/evil.xml");
    EXPECT_EQ(ini.readString("Publication", "FilePath", "dflt"), "dflt");
    EXPECT_EQ(ini.readString("Feed", "Capture", ""), "http://a/ [Publication] FilePath=/evil.xml");
}

TEST_F(IniFileTest, FailedWriteThrowsAndKeepsTheFile) {
    writeRaw("[Publish]\nLocalPath=/srv\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    TIniFile ini(path);
    try {
        ini.writeString("Publish", "LocalPath", "/other");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "Unable to write to " + path);
    }
    EXPECT_EQ(readRaw(), "[Publish]\nLocalPath=/srv\n");

    const QString nowhere = dir.filePath("quillo.ini/nested/quillo.ini");
    TIniFile missingDir(nowhere);
    EXPECT_THROW(missingDir.writeBool("S", "K", true), std::runtime_error);
}

} // namespace
