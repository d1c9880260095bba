// The writer: layout, escaping, encodings, and files written whole.

#include "xml/XmlDom.h"
#include "xml/XmlTreeBuilder.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeRaw(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

std::string joinLines(std::initializer_list<std::string> lines) {
    std::string s;
    for (const auto& l : lines)
        s += (s.empty() ? "" : "\r\n") + l;
    return s;
}

// A model with the program's settings and a tree built as a load builds it.
class WriterTest : public ::testing::Test {
protected:
    TXmlObjModel model;
    TXmlDocumentPtr doc = model.document();
    TXmlTreeBuilder b{*doc};

    void open(const std::u16string& name, std::vector<TXmlAttr> attrs = {}) {
        b.startElement(name, std::move(attrs), false);
    }
    void leaf(const std::u16string& name, std::vector<TXmlAttr> attrs = {}) {
        b.startElement(name, std::move(attrs), true);
    }
    void close() { b.endElement(); }
    void declaration(const std::u16string& enc = u"ISO-8859-1") {
        b.processingInstruction(u"xml", u"version=\"1.0\" encoding=\"" + enc + u"\"");
    }
    // <r><e>text</e></r> or with a CDATA section.
    void single(const std::u16string& value, bool cdata = false) {
        open(u"r");
        open(u"e");
        if (cdata)
            b.cdata(std::u16string(value));
        else
            b.text(std::u16string(value));
        close();
        close();
    }
    std::string bytes() { return xmlBytes(*doc); }
};

TEST_F(WriterTest, TheFeedSkeletonComesOutInTheProgramsLayout) {
    declaration();
    open(u"rss", {{u"version", u"2.0"}});
    open(u"channel");
    open(u"title");
    b.text(u"Channel Title");
    close();
    open(u"link");
    b.text(u"http://");
    close();
    open(u"description");
    b.text(u"RSS Feed");
    close();
    open(u"image");
    leaf(u"title");
    leaf(u"link");
    leaf(u"url");
    close();
    open(u"item");
    leaf(u"title");
    leaf(u"link");
    leaf(u"description");
    close();
    close();
    close();
    std::string expected = joinLines(
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "<rss version=\"2.0\">", "  <channel>",
         "    <title>Channel Title</title>", "    <link>http://</link>",
         "    <description>RSS Feed</description>", "    <image>", "      <title/>",
         "      <link/>", "      <url/>", "    </image>", "    <item>", "      <title/>",
         "      <link/>", "      <description/>", "    </item>", "  </channel>", "</rss>"});
    EXPECT_EQ(expected.size(), 350u);
    EXPECT_EQ(bytes(), expected);
}

TEST_F(WriterTest, LayoutRules) {
    open(u"rss");
    open(u"channel");
    open(u"item");
    open(u"title");
    b.cdata(u"Hello");
    close();
    open(u"p");
    b.text(u"a");
    b.comment(u"c");
    b.text(u"b");
    close();
    open(u"q");
    b.text(u"");
    close();
    b.processingInstruction(u"pi", u"data");
    close();
    close();
    close();
    b.comment(u"end");
    EXPECT_EQ(bytes(), joinLines({"<rss>", "  <channel>", "    <item>",
                                  "      <title><![CDATA[Hello]]>", "      </title>", "      <p>a",
                                  "        <!--c-->", "b</p>", "      <q></q>", "      <?pi data?>",
                                  "    </item>", "  </channel>", "</rss>", "", "<!--end-->"}));

    model.setFormattedOutput(false);
    EXPECT_EQ(bytes(), "<rss><channel><item><title><![CDATA[Hello]]></title><p>a<!--c-->b</p>"
                       "<q></q><?pi data?></item></channel></rss>\r\n<!--end-->");
}

TEST_F(WriterTest, EscapingOfTextAndAttributes) {
    struct Case {
        std::u16string value;
        std::string text, attr;
    };
    std::vector<Case> cases = {
        {u"a&b<c>d'e\"f", "a&amp;b&lt;c>d'e\"f", "a&amp;b&lt;c>d'e&#34;f"},
        {u"x\ny", "x\ry", "x&#xA;y"},
        {u"tab\there", "tab\there", "tab\there"},
        {u"\u00e9\u20ac\u007f\r", "&#233;&#8364;&#127;&#13;", "&#233;&#8364;&#127;&#13;"},
        {u"\xD83D\xDE00!", "&#128512;!", "&#128512;!"},
        // Characters XML 1.0 does not allow are left out, also unpaired surrogates.
        {u"a\u0001\u0008\u000b\u000c\u001f\ufffe\uffffb\xD800"
         u"c\xDC00",
         "abc", "abc"},
    };
    for (const auto& c : cases) {
        doc->clear();
        open(u"e", {{u"a", c.value}});
        b.text(std::u16string(c.value));
        close();
        EXPECT_EQ(bytes(), "<e a=\"" + c.attr + "\">" + c.text + "</e>") << c.text;
    }
}

TEST_F(WriterTest, LineFeedsFollowTheLineBreakMode) {
    struct Case {
        TXmlLineBreakMode mode;
        bool replace;
        std::string text, cdata;
    };
    std::vector<Case> cases = {
        {lbmCR, false, "a\rb", "<![CDATA[a\rb]]>"},
        {lbmCRLF, false, "a\r\nb", "<![CDATA[a\r\nb]]>"},
        {lbmDefault, true, "a\r\nb", "<![CDATA[a\r\nb]]>"},
        {lbmLF, false, "a\nb", "<![CDATA[a\nb]]>"},
        {lbmCR, true, "a&#13;b", "<![CDATA[a]]>&#13;<![CDATA[b]]>"},
        {lbmLF, true, "a&#10;b", "<![CDATA[a]]>&#10;<![CDATA[b]]>"},
    };
    model.setFormattedOutput(false);
    for (const auto& c : cases) {
        model.setLineBreakMode(c.mode);
        model.setLineBreakCharReplace(c.replace);
        doc->clear();
        open(u"e");
        b.text(u"a\nb");
        b.cdata(u"a\nb");
        close();
        EXPECT_EQ(bytes(), "<e>" + c.text + c.cdata + "</e>") << c.mode << c.replace;
    }
}

TEST_F(WriterTest, CDataSectionsStayWellFormedAndLossless) {
    struct Case {
        std::u16string value;
        std::string latin1, utf8;
    };
    std::vector<Case> cases = {
        {u"5 \u20ac a month", "<![CDATA[5 ]]>&#8364;<![CDATA[ a month]]>",
         "<![CDATA[5 \xE2\x82\xAC a month]]>"},
        {u"a]]>b", "<![CDATA[a]]]]><![CDATA[>b]]>", "<![CDATA[a]]]]><![CDATA[>b]]>"},
        {u"]]]>", "<![CDATA[]]]]]><![CDATA[>]]>", "<![CDATA[]]]]]><![CDATA[>]]>"},
        {u"caf\u00e9 \xD83D\xDE00", "<![CDATA[caf\xE9 ]]>&#128512;<![CDATA[]]>",
         "<![CDATA[caf\xC3\xA9 \xF0\x9F\x98\x80]]>"},
        {u"a\u0000b\u0002c"s, "<![CDATA[abc]]>", "<![CDATA[abc]]>"},
    };
    model.setFormattedOutput(false);
    for (const auto& c : cases) {
        for (bool latin1 : {true, false}) {
            doc->clear();
            declaration(latin1 ? u"ISO-8859-1" : u"UTF-8");
            open(u"e");
            b.cdata(std::u16string(c.value));
            close();
            std::string decl = latin1 ? "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
                                      : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
            EXPECT_EQ(bytes(), decl + "<e>" + (latin1 ? c.latin1 : c.utf8) + "</e>");
        }
    }
}

TEST_F(WriterTest, NamesCommentsAndInstructionsTakeWhatTheEncodingHolds) {
    model.setFormattedOutput(false);
    declaration();
    open(u"\u00e9l\u4e00");
    b.comment(u"\u00e9\u20ac\xD83D\xDE00");
    b.processingInstruction(u"p", u"\u20ac");
    close();
    EXPECT_EQ(bytes(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
                       "<\xE9l?><!--\xE9?\?--><?p ?\?></\xE9l?>");
    doc->clear();
    declaration(u"UTF-8");
    open(u"\u4e00");
    b.comment(u"\u20ac");
    close();
    EXPECT_EQ(bytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                       "<\xE4\xB8\x80><!--\xE2\x82\xAC--></\xE4\xB8\x80>");
}

TEST_F(WriterTest, CommentsAndInstructionsMadeByHandStayWellFormed) {
    model.setFormattedOutput(false);
    auto r = doc->appendElement(doc, u"r");
    r->appendChild(doc->createComment(u"a--b-"));
    r->appendChild(doc->createProcessingInstruction(u"p", u"x?>y"));
    EXPECT_EQ(bytes(), "<r><!--a- -b- --><?p x? >y?></r>");
}

TEST_F(WriterTest, DocumentTypeWithDeclarations) {
    declaration();
    b.startDocType(u"rss", u"-//X//Y", u"rss.dtd");
    b.declaration(TXmlDeclKind::Entity, u"<!ENTITY a \"b\">");
    b.comment(u"c");
    b.endDocType();
    leaf(u"rss");
    EXPECT_EQ(bytes(), joinLines({"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
                                  "<!DOCTYPE rss PUBLIC \"-//X//Y\" \"rss.dtd\"[",
                                  "  <!ENTITY a \"b\">", "  <!--c-->", "]>", "<rss/>"}));
}

TEST_F(WriterTest, EncodingsAndSignatures) {
    std::u16string text = u"<a>\u00e9\u20ac\xD83D\xDE00</a>";
    EXPECT_EQ(encodeXmlText(u"<a>\u00e9</a>", ceISO88591, false), "<a>\xE9</a>");
    EXPECT_EQ(encodeXmlText(text, ceUTF8, false), "<a>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</a>");
    EXPECT_EQ(encodeXmlText(u"a", ceUTF8, true), "\xEF\xBB\xBF"
                                                 "a");
    EXPECT_EQ(encodeXmlText(u"a\u20ac\xD83D\xDE00", ceUTF16LE, false),
              std::string("\xFF\xFE"
                          "a\0\xAC\x20\x3D\xD8\x00\xDE",
                          10));
    EXPECT_EQ(encodeXmlText(u"a\u20ac\xD83D\xDE00", ceUTF16BE, true),
              std::string("\xFE\xFF\0a\x20\xAC\xD8\x3D\xDE\x00", 10));
    EXPECT_THROW(encodeXmlText(u"\u20ac", ceISO88591, false), EXmlConvertError);
    try {
        encodeXmlText(u"\u20ac", ceUnknown, false);
    } catch (const EXmlConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot convert UCS-4 character to ISO-8859-1");
    }
}

TEST_F(WriterTest, TheOutputEncodingIsTheOneTheFileWillBeReadIn) {
    struct Case {
        const char16_t* declared; // null: no declaration
        TXmlCharEncoding outCharSet, expected;
    };
    std::vector<Case> cases = {
        {u"ISO-8859-1", ceISO88591, ceISO88591},
        {u"iso-8859-1", ceUTF8, ceISO88591},
        {u"UTF-8", ceISO88591, ceUTF8},
        {nullptr, ceISO88591, ceUTF8},
        {nullptr, ceUTF8, ceUTF8},
        {u"ISO-8859-1", ceUTF16LE, ceISO88591},
        {u"UTF-8", ceUTF16BE, ceUTF8},
        {u"UTF-16", ceUTF16LE, ceUTF16LE},
        {u"utf-16", ceUTF16BE, ceUTF16BE},
        {u"windows-1252", ceUTF16LE, ceUTF8},
        {nullptr, ceUTF16BE, ceUTF16BE},
    };
    for (const auto& c : cases) {
        doc->clear();
        if (c.declared)
            declaration(c.declared);
        leaf(u"r");
        model.setOutCharSet(c.outCharSet);
        EXPECT_EQ(outputEncoding(*doc), c.expected);
    }
    doc->clear();
    single(u"\u00e9", true);
    model.setOutCharSet(ceISO88591);
    model.setWriteUTF8Signature(true);
    EXPECT_EQ(bytes(), "\xEF\xBB\xBF<r>\r\n  <e><![CDATA[\xC3\xA9]]>\r\n  </e>\r\n</r>");
}

// The pieces handed out one by one make exactly the bytes of xmlBytes, for
// every encoding, and a large document comes in many pieces, not one.
TEST_F(WriterTest, PiecesOfTheBytesJoinToTheWholeBytes) {
    const struct {
        const char16_t* declared; // null: no declaration
        TXmlCharEncoding outCharSet;
        bool signature;
        bool inPieces; // UTF-16 and the sets iconv writes come whole
    } cases[] = {
        {u"ISO-8859-1", ceISO88591, false, true}, {u"UTF-8", ceUTF8, true, true},
        {u"UTF-8", ceUTF8, false, true},          {u"UTF-16", ceUTF16LE, false, false},
        {u"windows-1252", ceUTF8, false, false},  {nullptr, ceUTF8, true, true},
    };
    for (const auto& c : cases) {
        doc->clear();
        if (c.declared)
            declaration(c.declared);
        open(u"rss");
        for (int i = 0; i < 6000; ++i) {
            open(u"item", {TXmlAttr{u"n", u"\u00e9 & " + std::u16string(i % 7, u'x')}});
            b.text(u"caf\u00e9 <" + std::u16string(i % 50, u'\u20ac') + u">");
            b.cdata(u"]]> \u00e9");
            close();
        }
        close();
        model.setOutCharSet(c.outCharSet);
        model.setWriteUTF8Signature(c.signature);
        std::string joined;
        int pieces = 0;
        writeXmlBytes(*doc, [&](std::string_view piece) {
            joined += piece;
            ++pieces;
        });
        const std::string whole = bytes();
        EXPECT_TRUE(joined == whole) << (c.declared ? "declared" : "undeclared") << " "
                                     << c.outCharSet << ": " << joined.size() << " bytes, not "
                                     << whole.size();
        EXPECT_EQ(pieces > 2, c.inPieces) << pieces << " pieces";
    }
}

class SaveTest : public WriterTest {
protected:
    fs::path dir = fs::temp_directory_path() /
                   ("quillo-save-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        single(u"x");
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }
    std::string expected = "<r>\r\n  <e>x</e>\r\n</r>";
    std::vector<std::string> strays() {
        std::vector<std::string> v;
        for (auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string()[0] == '.')
                v.push_back(e.path().string());
        return v;
    }
};

TEST_F(SaveTest, WritesLocalPathsAndFileNames) {
    EXPECT_TRUE(model.saveToSource((dir / "a.xml").string()));
    EXPECT_EQ(readFile(dir / "a.xml"), expected);
    EXPECT_TRUE(model.saveToSource("FILE://" + (dir / "b.xml").string()));
    EXPECT_EQ(readFile(dir / "b.xml"), expected);
    writeRaw(dir / "c.xml", std::string(1000, 'z'));
    EXPECT_TRUE(model.saveToSource("file://" + (dir / "c.xml").string()));
    EXPECT_EQ(readFile(dir / "c.xml"), expected);
    EXPECT_TRUE(strays().empty());
}

TEST_F(SaveTest, KeepsPermissionsAndFollowsSymbolicLinks) {
    writeRaw(dir / "real.xml", "old");
    fs::permissions(dir / "real.xml", fs::perms(0640));
    fs::create_symlink("real.xml", dir / "link.xml");
    model.saveToSource((dir / "link.xml").string());
    EXPECT_TRUE(fs::is_symlink(dir / "link.xml"));
    EXPECT_EQ(readFile(dir / "real.xml"), expected);
    EXPECT_EQ(fs::status(dir / "real.xml").permissions(), fs::perms(0640));
    EXPECT_TRUE(strays().empty());
}

TEST_F(SaveTest, UnwritableTargetsFailAndKeepTheOldContent) {
    writeRaw(dir / "ro.xml", "old");
    fs::permissions(dir / "ro.xml", fs::perms(0444));
    std::vector<std::string> bad = {(dir / "ro.xml").string(), (dir / "no" / "such.xml").string(),
                                    dir.string(), ""};
    for (const auto& path : bad) {
        try {
            model.saveToSource(path);
            ADD_FAILURE() << "saved to " << path;
        } catch (const EXmlCreateFileError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
        }
    }
    EXPECT_EQ(readFile(dir / "ro.xml"), "old");
    EXPECT_TRUE(strays().empty());
}

// A disk that fills up while a large feed is written (here: a file size
// limit, which fails a write as a full disk does) leaves the old file.
TEST_F(SaveTest, ADiskThatFillsUpMidwayKeepsTheOldContent) {
    doc->clear();
    open(u"rss");
    for (int i = 0; i < 20000; ++i) {
        open(u"item");
        b.text(u"a headline long enough to fill the disk soon " + std::u16string(20, u'x'));
        close();
    }
    close();
    writeRaw(dir / "feed.xml", "old");
    struct rlimit was;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
    struct rlimit small = was;
    small.rlim_cur = 300000;
    auto* const signalWas = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    try {
        model.saveToSource((dir / "feed.xml").string());
    } catch (const EXmlCreateFileError&) {
        failed = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, signalWas);
    EXPECT_TRUE(failed);
    EXPECT_EQ(readFile(dir / "feed.xml"), "old");
    EXPECT_TRUE(strays().empty());
    // With room again, the same save goes through.
    model.saveToSource((dir / "feed.xml").string());
    EXPECT_EQ(readFile(dir / "feed.xml"), bytes());
}

TEST_F(SaveTest, AFolderThatTakesNoNewFilesStillHasItsFileReplaced) {
    if (geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind root";
    writeRaw(dir / "feed.xml", std::string(1000, 'z'));
    fs::permissions(dir, fs::perms(0555));
    EXPECT_TRUE(model.saveToSource((dir / "feed.xml").string()));
    EXPECT_THROW(model.saveToSource((dir / "new.xml").string()), EXmlCreateFileError);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(readFile(dir / "feed.xml"), expected);
    EXPECT_FALSE(fs::exists(dir / "new.xml"));
}

TEST_F(SaveTest, AnFtpDestinationFailsWithoutThrowing) {
    EXPECT_FALSE(model.saveToSource("ftp://127.0.0.1/feeds/rss.xml"));
    EXPECT_FALSE(model.errorList().empty());
}

} // namespace
