// Loads: what a load leaves in the document and the error list, OutCharSet,
// and round trips through the writer.

#include "xml/XmlDom.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class LoadTest : public ::testing::Test {
protected:
    TXmlObjModel model;
    fs::path dir = fs::temp_directory_path() /
                   ("quillo-load-" + std::to_string(getpid()) + "-" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());

    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }
    bool memory(const std::string& bytes) {
        return model.loadFromMemory(bytes.data(), bytes.size());
    }
    TXmlDocumentPtr doc() { return model.document(); }
    std::string saved(const std::string& name) {
        model.saveToSource((dir / name).string());
        std::ifstream in(dir / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(LoadTest, ProgramSettingsAreTheDefaults) {
    EXPECT_EQ(model.BufferSize(), 8192u);
    EXPECT_TRUE(model.NormalizeData());
    EXPECT_TRUE(model.IgnoreCase());
    EXPECT_EQ(model.IdAttribute(), u"id");
    EXPECT_FALSE(model.RaiseErrors());
    EXPECT_TRUE(model.FormattedOutput());
    EXPECT_EQ(model.LineBreakMode(), lbmCR);
    EXPECT_FALSE(model.LineBreakCharReplace());
    EXPECT_EQ(model.OutCharSet(), ceISO88591);
    EXPECT_FALSE(model.WriteUTF8Signature());
    EXPECT_FALSE(doc()->hasChildNodes());
}

TEST_F(LoadTest, AParseErrorKeepsWhatWasBuiltBeforeIt) {
    std::string feed = "<rss><channel>";
    for (int i = 0; i < 9; ++i)
        feed += "<item>" + std::to_string(i) + "</item>";
    feed += "<item a='1' a='2'></item></channel></rss>";
    EXPECT_FALSE(memory(feed));
    ASSERT_EQ(model.errorList().size(), 1u);
    TXmlNodeList items = doc()->getElementsByTagName(u"item");
    EXPECT_EQ(items.length(), 9);
    EXPECT_EQ(textOf(items.item(8)), u"8");
    EXPECT_EQ(doc()->documentElement()->firstChild()->nodeName(), u"channel");

    // The next load starts afresh.
    EXPECT_TRUE(memory("<a/>"));
    EXPECT_TRUE(model.errorList().empty());
    EXPECT_EQ(doc()->childNodes().length(), 1);
}

TEST_F(LoadTest, AMissingSourceEmptiesTheDocumentAndKeepsOutCharSet) {
    ASSERT_TRUE(memory("<a><b/></a>"));
    model.setOutCharSet(ceUTF16LE);
    std::string missing = (dir / "nope.xml").string();
    EXPECT_FALSE(model.loadFromSource(missing));
    EXPECT_FALSE(doc()->hasChildNodes());
    ASSERT_EQ(model.errorList().size(), 1u);
    EXPECT_EQ(model.errorList()[0],
              u"File " + std::u16string(missing.begin(), missing.end()) + u" could not be found");
    EXPECT_EQ(model.OutCharSet(), ceUTF16LE);
}

TEST_F(LoadTest, OutCharSetFollowsLoadFromSourceOnly) {
    struct Case {
        std::string bytes;
        TXmlCharEncoding expected;
    };
    std::vector<Case> cases = {
        {"<a>x</a>", ceUTF8},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>", ceISO88591},
        {"\xEF\xBB\xBF<a/>", ceUTF8},
        {std::string("\xFF\xFE<\0a\0/\0>\0", 10), ceUTF16LE},
        {std::string("\xFE\xFF\0<\0a\0/\0>", 10), ceUTF16BE},
    };
    for (const auto& c : cases) {
        model.setOutCharSet(ceUnknown);
        EXPECT_TRUE(model.loadFromSource(file("f.xml", c.bytes)));
        EXPECT_EQ(model.OutCharSet(), c.expected);
        EXPECT_TRUE(model.loadFromSource("file://" + (dir / "f.xml").string()));
        EXPECT_EQ(model.OutCharSet(), c.expected);
        model.setOutCharSet(ceUnknown);
        EXPECT_TRUE(memory(c.bytes));
        EXPECT_EQ(model.OutCharSet(), ceUnknown);
    }
}

TEST_F(LoadTest, AUtf8FileWithoutDeclarationIsWrittenBackInUtf8WithoutSignature) {
    model.loadFromSource(file("in.xml", "<r><e><![CDATA[caf\xC3\xA9]]></e></r>"));
    EXPECT_EQ(saved("out.xml"), "<r>\r\n  <e><![CDATA[caf\xC3\xA9]]>\r\n  </e>\r\n</r>");
}

TEST_F(LoadTest, RaiseErrorsThrowsTheFirstLine) {
    model.setRaiseErrors(true);
    try {
        memory("<a>");
        ADD_FAILURE();
    } catch (const EXmlLoadError& e) {
        EXPECT_NE(std::string(e.what()).find("Unexpected end of file"), std::string::npos);
    }
    EXPECT_NO_THROW(memory("<a/>"));
}

TEST_F(LoadTest, TheReaderFeedsTheLookupsThePartsRelyOn) {
    ASSERT_TRUE(memory("<rss version=\"2.0\"> <channel><Item><title>  Hello\n     world  </title>"
                       "<link/><author>me</author></Item></channel>"
                       "<channel><item><title>second</title></item></channel></rss>"));
    auto rss = doc()->documentElement();
    EXPECT_EQ(rss->firstChild()->nodeName(), u"channel");
    auto channel = doc()->getElementsByTagName(u"channel").item(0);
    EXPECT_EQ(selectNodesOf(channel, u"item").length(), 1);
    TXmlNodeList items = doc()->getElementsByTagName(u"item");
    ASSERT_EQ(items.length(), 1);
    EXPECT_EQ(textOf(firstChildOf(items.item(0))), u"second");
    auto first = selectNodesOf(channel, u"item").item(0);
    EXPECT_EQ(textOf(firstChildOf(first)), u"Hello world");
    EXPECT_EQ(textOf(childAt(first, 2)), u"me");
    EXPECT_EQ(textOf(childAt(items.item(0), 2)), u"");
}

// Text the writer had to split or reference reads back the same, through
// other readers and through this one.
TEST_F(LoadTest, NonBmpTextRoundTrips) {
    auto r = doc()->appendElement(doc(), u"r");
    doc()->appendText(doc()->appendElement(r, u"t"), u"smile \xD83D\xDE00 \u20ac");
    r->setAttribute(u"a", u"\xD83D\xDE00");
    doc()->appendCDATASection(doc()->appendElement(r, u"c"), u"\xD83D\xDE00");
    for (TXmlCharEncoding enc : {ceISO88591, ceUTF8, ceUTF16LE, ceUTF16BE}) {
        model.setOutCharSet(enc);
        std::string bytes = xmlBytes(*doc());
        TXmlObjModel back;
        ASSERT_TRUE(back.loadFromMemory(bytes.data(), bytes.size())) << enc;
        auto br = back.document()->documentElement();
        EXPECT_EQ(textOf(childAt(br, 0)), u"smile \xD83D\xDE00 \u20ac") << enc;
        EXPECT_EQ(attributeOf(br, u"a"), u"\xD83D\xDE00") << enc;
        EXPECT_EQ(textOf(childAt(br, 1)), u"\xD83D\xDE00") << enc;
    }
}

// A section holding what ISO-8859-1 cannot hold, or "]]>", is written in
// pieces; reading them back gives the one section again, so that every
// edit-and-save of a feed leaves its text as it was.
TEST_F(LoadTest, ASplitCDataSectionReadsBackAsOneSection) {
    const std::u16string values[] = {
        u"5 \u20ac a month",
        u"\xD83D\xDE00",
        u"  \u20ac ",
        u"a]]>b",
        u"]]]>x\u20ac]]>",
        u"\u0417\u0434\u0440\u0430\u0432\u0441\u0442\u0432\u0443\u0439   \u043c\u0438\u0440  "
        u"\u2014 caf\u00e9   \u20ac\u20ac 5   \xD83D\xDE00",
    };
    model.setOutCharSet(ceISO88591);
    for (const std::u16string& value : values) {
        doc()->clear();
        doc()->appendChild(
            doc()->createProcessingInstruction(u"xml", u"version=\"1.0\" encoding=\"ISO-8859-1\""));
        auto r = doc()->appendElement(doc(), u"r");
        doc()->appendCDATASection(doc()->appendElement(r, u"c"), value);
        doc()->appendText(doc()->appendElement(r, u"t"), u"after");
        std::string bytes = xmlBytes(*doc());
        ASSERT_NE(bytes.find("<![CDATA[", bytes.find("]]>")), std::string::npos) << bytes;

        TXmlObjModel back;
        ASSERT_TRUE(back.loadFromMemory(bytes.data(), bytes.size())) << bytes;
        auto c = firstChildOf(back.document()->documentElement());
        ASSERT_EQ(c->childNodes().length(), 1) << bytes;
        EXPECT_EQ(c->firstChild()->nodeType(), CDATA_SECTION_NODE) << bytes;
        EXPECT_EQ(textOf(c), value) << bytes;
        EXPECT_EQ(textOf(nextSiblingOf(c)), u"after");
        EXPECT_EQ(xmlBytes(*back.document()), bytes);
    }
}

// Only pieces that touch a CDATA delimiter join; a text piece that joins a
// section becomes part of a section.
TEST_F(LoadTest, CharacterDataJoinsOnlyTheSectionItTouches) {
    struct Case {
        const char* input;
        long children;
        TXmlNodeType first;
        std::u16string text;
    };
    const Case cases[] = {
        {"<d>Some text <![CDATA[<b>x</b>]]> more</d>", 3, TEXT_NODE, u"Some text <b>x</b> more"},
        {"<d>a\n<![CDATA[b]]>\t<![CDATA[c]]></d>", 3, TEXT_NODE, u"a b c"},
        {"<d>a  b<![CDATA[  c]]>&amp;d</d>", 3, TEXT_NODE, u"a b   c &d"},
        {"<d>Some text<![CDATA[<b>x</b>]]>more</d>", 3, TEXT_NODE, u"Some text <b>x</b> more"},
        {"<d><![CDATA[5 ]]>&#8364;<![CDATA[ a]]></d>", 1, CDATA_SECTION_NODE, u"5 \u20AC a"},
        {"<d><![CDATA[a]]> &#8364;</d>", 2, CDATA_SECTION_NODE, u"a \u20AC"},
        {"<d><![CDATA[a]]><!----><![CDATA[b]]></d>", 3, CDATA_SECTION_NODE, u"a b"},
        {"<d><e>a</e><![CDATA[b]]></d>", 2, ELEMENT_NODE, u"a b"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(memory(c.input)) << c.input;
        auto d = doc()->documentElement();
        EXPECT_EQ(d->childNodes().length(), c.children) << c.input;
        EXPECT_EQ(d->firstChild()->nodeType(), c.first) << c.input;
        EXPECT_EQ(textOf(d), c.text) << c.input;
        // Written and read again, the text stays the same.
        ASSERT_TRUE(memory(xmlBytes(*doc()))) << c.input;
        EXPECT_EQ(textOf(doc()->documentElement()), c.text) << c.input;
    }
}

TEST_F(LoadTest, ALoadedDocumentIsWrittenAsItWasRead) {
    std::string feed = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
                       "<!--top-->\r\n"
                       "<rss version=\"2.0\">\r\n"
                       "  <channel>\r\n"
                       "    <title>caf&#233; &amp; &lt;b&gt;</title>\r\n"
                       "    <item>\r\n"
                       "      <title><![CDATA[D\xE9j\xE0 vu]]>\r\n"
                       "      </title>\r\n"
                       "      <category domain=\"a&#34;b\">x</category>\r\n"
                       "    </item>\r\n"
                       "  </channel>\r\n"
                       "</rss>";
    std::string expected = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n\r\n"
                           "<!--top-->\r\n"
                           "<rss version=\"2.0\">\r\n"
                           "  <channel>\r\n"
                           "    <title>caf&#233; &amp; &lt;b></title>\r\n"
                           "    <item>\r\n"
                           "      <title><![CDATA[D\xE9j\xE0 vu]]>\r\n"
                           "      </title>\r\n"
                           "      <category domain=\"a&#34;b\">x</category>\r\n"
                           "    </item>\r\n"
                           "  </channel>\r\n"
                           "</rss>";
    ASSERT_TRUE(model.loadFromSource(file("feed.xml", feed)));
    EXPECT_EQ(saved("out.xml"), expected);
    ASSERT_TRUE(model.loadFromSource((dir / "out.xml").string()));
    EXPECT_EQ(saved("again.xml"), expected);
}

} // namespace
