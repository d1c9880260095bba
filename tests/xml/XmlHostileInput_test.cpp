// Odd and hostile documents: every file the engine writes reads back, in the
// encodings feeds are written in, and no document can make a load run away
// (nesting, external fetches, long declarations).

#include "xml/XmlDom.h"
#include "xml/XmlParserTestSupport.h"
#include "xml/XmlRoundTrip.h"
#include "xml/XmlWriter.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return out;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        out.append(buf.data(), n);
    pclose(p);
    return out;
}

class TempDir : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() /
                   ("quillo-hostile-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string write(const std::string& name, const std::string& bytes) {
        std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

std::string saved(TXmlObjModel& model) {
    return xmlBytes(*model.document());
}

TEST(RoundTrip, TextAndAttributesHoldingTheCdataEndReadBack) {
    const std::string cases[] = {
        "<rss><channel><title>News ]]&gt; more</title></channel></rss>",
        "<rss><channel><link a=\"x]]>y\">]]]]]&gt;]&gt;</link></channel></rss>",
        "<r><![CDATA[a]]]]><![CDATA[>b]]>]]&gt;</r>",
        // A carriage return in a section leaves it for its reference.
        "<!DOCTYPE r [<!ENTITY e \"<![CDATA[a&#13;b]]>\">]><r xml:space=\"preserve\">&e;</r>",
    };
    for (const std::string& doc : cases) {
        TXmlObjModel model;
        ASSERT_TRUE(model.loadFromMemory(doc.data(), doc.size())) << doc;
        EXPECT_EQ(roundtrip::fault(doc.data(), doc.size()), "") << doc;
    }
    TXmlObjModel model;
    std::string doc = "<r a=\"]]>\">News ]]&gt; more</r>";
    ASSERT_TRUE(model.loadFromMemory(doc.data(), doc.size()));
    EXPECT_EQ(saved(model), "<r a=\"]]&gt;\">News ]]&gt; more</r>");
}

TEST(RoundTrip, TheEncoderStaysInsideItsChunkWhateverWhereAPairStarts) {
    // ASCII, then three-byte characters, then a surrogate pair: among these
    // the pair starts on the last code unit of an encoder chunk whose room
    // is a multiple of three (4 ASCII and 1363 others do it).
    for (std::size_t ascii = 0; ascii < 9; ++ascii)
        for (std::size_t wide = 1300; wide < 1420; ++wide) {
            std::u16string text(ascii, u'a');
            text.append(wide, u'\u4e00');
            text += u"\xD83D\xDE00";
            std::string expected(ascii, 'a');
            for (std::size_t i = 0; i < wide; ++i)
                expected += "\xE4\xB8\x80";
            expected += "\xF0\x9F\x98\x80";
            ASSERT_EQ(encodeXmlText(text, ceUTF8, false), expected) << ascii << " " << wide;
        }
}

TEST(RoundTrip, FuzzInputsThatLoadWriteBackToTheSameTree) {
    fs::path dir = fs::path(QUILLO_TEST_DATA) / "xml" / "fuzz";
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(roundtrip::fault(bytes.data(), bytes.size()), "") << entry.path();
    }
}

TEST(RoundTrip, PreservedContentGetsNoLayoutAndSavesToTheSameBytes) {
    std::string doc = "<r><p xml:space=\"preserve\"> a <b>x</b>\n <c/> </p>"
                      "<q xml:space=\"preserve\"><d xml:space=\"default\"><e/></d></q></r>";
    TXmlObjModel first;
    ASSERT_TRUE(first.loadFromMemory(doc.data(), doc.size()));
    std::string once = saved(first);
    EXPECT_EQ(once, "<r>\r\n  <p xml:space=\"preserve\"> a <b>x</b>\r <c/> </p>\r\n"
                    "  <q xml:space=\"preserve\"><d xml:space=\"default\">\r\n"
                    "      <e/>\r\n    </d></q>\r\n</r>");
    TXmlObjModel second;
    ASSERT_TRUE(second.loadFromMemory(once.data(), once.size()));
    EXPECT_EQ(saved(second), once);
}

TEST(RoundTrip, AttributeDefaultsNeverRepeatAGivenNameInAnotherCase) {
    std::string doc = "<!DOCTYPE rss [<!ATTLIST item ID CDATA \"0\" id CDATA \"9\" Kind CDATA "
                      "\"k\">]><rss><item id=\"1\"/><item/></rss>";
    ParseResult r = parseText(doc);
    EXPECT_EQ(errorOf(r), "");
    EXPECT_NE(r.events.find("<item id='1' Kind='k'/><item ID='0' Kind='k'/>"), std::string::npos)
        << r.events;
    EXPECT_EQ(roundtrip::fault(doc.data(), doc.size()), "");
}

TEST(RoundTrip, DeclarationsAParameterEntityOpensOrClosesAreRefused) {
    struct Case {
        std::string doc, error;
    };
    const std::string refused = "Markup declaration not contained in one entity";
    const Case cases[] = {
        {"<!DOCTYPE r [<!ENTITY % open \"<!ENTITY e 'x'\"> %open; >]><r>&e;</r>", refused},
        {"<!DOCTYPE r [<!ENTITY % close \"'x'>\"> <!ENTITY e %close; ]><r>&e;</r>", refused},
        // Inside one declaration, or holding whole ones, it reads back.
        {"<!DOCTYPE r [<!ENTITY % t \"CDATA\"> <!ATTLIST r a %t; 'v'>]><r/>", ""},
        {"<!DOCTYPE r [<!ENTITY % p \"<!ENTITY e 'x'>\"> %p;]><r>&e;</r>", ""},
    };
    for (const Case& c : cases) {
        ParseResult r = parseText(c.doc);
        std::string e = errorOf(r);
        EXPECT_EQ(e.substr(e.empty() ? 0 : e.find(" Error: ") + 8), c.error) << c.doc;
        EXPECT_EQ(roundtrip::fault(c.doc.data(), c.doc.size()), "") << c.doc;
    }
}

TEST(Nesting, ElementsDeeperThanTheLimitFailTheLoad) {
    auto nested = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += "<e>";
        for (int i = 0; i < depth; ++i)
            s += "</e>";
        return s;
    };
    TXmlObjModel model;
    std::string ok = nested(1024);
    EXPECT_TRUE(model.loadFromMemory(ok.data(), ok.size()));
    EXPECT_EQ(roundtrip::fault(ok.data(), ok.size()), "");
    for (int depth : {1025, 200000}) {
        std::string deep = nested(depth);
        EXPECT_FALSE(model.loadFromMemory(deep.data(), deep.size()));
        ASSERT_EQ(model.errorList().size(), 1u);
        EXPECT_EQ(encodeXmlText(model.errorList()[0], ceUTF8, false),
                  "File: . Line: 1 Col: 3074 Error: Elements nested too deeply");
    }
    std::string empty = nested(1024);
    empty.insert(1024 * 3, "<e/>");
    EXPECT_FALSE(model.loadFromMemory(empty.data(), empty.size()));
}

TEST(Quadratic, HugeDeclarationsAndTagsLoadWithTheirDefaults) {
    // An ATTLIST with 150,000 definitions.
    std::string many = "<!DOCTYPE r [<!ATTLIST r";
    for (int i = 0; i < 150000; ++i)
        many += " a" + std::to_string(i) + " CDATA #IMPLIED";
    many += " last CDATA 'x'>]><r/>";
    TXmlObjModel model;
    ASSERT_TRUE(model.loadFromMemory(many.data(), many.size()));
    EXPECT_EQ(attributeOf(model.document()->documentElement(), u"last"), u"x");

    // 20,000 defaults applied to elements with 10,000 attributes.
    std::string wide = "<!DOCTYPE r [<!ATTLIST e";
    for (int i = 0; i < 20000; ++i)
        wide += " d" + std::to_string(i) + " CDATA 'v'";
    wide += ">]><r>";
    std::string tag = "<e";
    for (int i = 0; i < 10000; ++i)
        tag += " D" + std::to_string(2 * i) + "='g'";
    tag += "/>";
    for (int i = 0; i < 3; ++i)
        wide += tag;
    wide += "</r>";
    ASSERT_TRUE(model.loadFromMemory(wide.data(), wide.size()));
    auto e = asElement(firstChildOf(model.document()->documentElement()));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->attributes()->length(), 20000);
    EXPECT_EQ(e->getAttribute(u"d2"), u"g");
    EXPECT_EQ(e->getAttribute(u"d3"), u"v");

    // A 3 MB first comment full of quotes.
    std::string quotes = "<!--" + std::string(3000000, '"') + "--><r/>";
    EXPECT_TRUE(model.loadFromMemory(quotes.data(), quotes.size()));
}

// Feeds in the sets people write them in: load, edit a text, save, and
// xmllint reads back the same text.
TEST_F(TempDir, FeedsInDeclaredSetsAreReadAndWrittenFaithfully) {
    struct Case {
        const char* encoding;
        std::string title;    // bytes in the set
        std::string expected; // the same as UTF-8
        std::u16string edited;
        std::string editedUtf8;
    };
    const Case cases[] = {
        {"windows-1252", "caf\xE9 \x80 \x93ok\x94",
         "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cok\xE2\x80\x9D", u"caf\u00e9 \u20ac \u4e00",
         "caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\x80"},
        {"ISO-8859-15", "\xA4 \xBD", "\xE2\x82\xAC \xC5\x93", u"\u20ac \u0153 \u00a4",
         "\xE2\x82\xAC \xC5\x93 \xC2\xA4"},
        {"KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
         u"\u041c\u0438\u0440 \u00e9", "\xD0\x9C\xD0\xB8\xD1\x80 \xC3\xA9"},
        {"Shift_JIS", "\x93\xFA\x96\x7B", "\xE6\x97\xA5\xE6\x9C\xAC", u"\u65e5\u672c \\ \u00e9",
         "\xE6\x97\xA5\xE6\x9C\xAC \\ \xC3\xA9"},
    };
    for (const Case& c : cases) {
        std::string path = write("feed.xml", std::string("<?xml version=\"1.0\" encoding=\"") +
                                                 c.encoding + "\"?>\n<rss><channel><title>" +
                                                 c.title + "</title><description><![CDATA[" +
                                                 c.title + "]]></description></channel></rss>");
        TXmlObjModel model;
        ASSERT_TRUE(model.loadFromSource(path)) << c.encoding;
        auto title = model.document()->getElementsByTagName(u"title").item(0);
        EXPECT_EQ(encodeXmlText(textOf(title), ceUTF8, false), c.expected) << c.encoding;
        title->firstChild()->setNodeValue(c.edited);
        auto description = model.document()->getElementsByTagName(u"description").item(0);
        description->firstChild()->setNodeValue(c.edited);
        ASSERT_TRUE(model.saveToSource(path));
        std::string lint = run("xmllint --noout " + path);
        EXPECT_EQ(lint, "") << c.encoding;
        for (const char* element : {"title", "description"}) {
            std::string read = run("xmllint --xpath 'normalize-space(/rss/channel/" +
                                   std::string(element) + ")' " + path);
            EXPECT_EQ(read, c.editedUtf8 + "\n") << c.encoding << " " << element;
        }
        TXmlObjModel back;
        ASSERT_TRUE(back.loadFromSource(path)) << c.encoding;
        EXPECT_EQ(textOf(back.document()->getElementsByTagName(u"description").item(0)), c.edited);
    }
}

TEST_F(TempDir, AfterAUtf16FeedTheTemplateIsWrittenAsItsDeclarationSays) {
    std::string path = write("u.xml", std::string("\xFF\xFE<\0r\0/\0>\0", 10));
    TXmlObjModel model;
    ASSERT_TRUE(model.loadFromSource(path));
    ASSERT_EQ(model.OutCharSet(), ceUTF16LE);
    std::string templ = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss><t>\xE9</t></rss>";
    ASSERT_TRUE(model.loadFromMemory(templ.data(), templ.size()));
    EXPECT_EQ(
        saved(model),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<rss>\r\n  <t>&#233;</t>\r\n</rss>");
}

TEST_F(TempDir, ExternalPiecesPastTheCountFailAsFetchesThatProducedNothing) {
    std::string subset;
    for (int i = 1; i <= 17; ++i) {
        std::string n = std::to_string(i);
        write("p" + n + ".dtd", "<!ENTITY a" + n + " 'v" + n + "'>");
        subset += "<!ENTITY % p" + n + " SYSTEM 'p" + n + ".dtd'> %p" + n + ";";
    }
    std::string path = write("doc.xml", "<!DOCTYPE r [" + subset + "]><r>&a16;&a17;</r>");
    TXmlObjModel model;
    EXPECT_FALSE(model.loadFromSource(path));
    std::string missing = (dir / "p17.dtd").string();
    ASSERT_EQ(model.errorList().size(), 2u);
    EXPECT_EQ(encodeXmlText(model.errorList()[0], ceUTF8, false),
              "File " + missing + " could not be found");
    EXPECT_EQ(textOf(model.document()->documentElement()), u"v16");
}

TEST_F(TempDir, ExternalPiecesShareOneTimeBudget) {
    // A server on 127.0.0.1 that accepts and never answers.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(fd, 8), 0);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    std::string base = "http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/";
    std::string doc = "<!DOCTYPE r SYSTEM '" + base + "s.dtd' [<!ENTITY % p SYSTEM '" + base +
                      "p.dtd'> %p;]><r/>";
    TXmlReaderSettings settings;
    settings.externalFetchBudgetMs = 300;
    ParseResult r = parseText(doc, settings);
    ::close(fd);
    EXPECT_FALSE(r.ok);
    std::string all = errorOf(r);
    EXPECT_NE(all.find("File " + base + "p.dtd could not be found"), std::string::npos) << all;
    EXPECT_NE(all.find("File " + base + "s.dtd could not be found"), std::string::npos) << all;
}

} // namespace
