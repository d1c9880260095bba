// How the document keeps its nodes: values held as compact bytes come back
// unchanged, names and values outlive the document in nodes still held, and
// the bytes written straight from the compact form are those of the text.

#include "xml/XmlDom.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

namespace {

// Values that touch every case of the compact form and of escaping: ASCII
// runs long enough for the block scans, markup characters, controls, line
// ends, Latin-1, BMP characters, non-characters, pairs and lone surrogates.
const std::u16string kValues[] = {
    u"",
    u"plain ascii text that runs for more than sixteen characters",
    u"a & b < c > d \" e ' f ]]> g ]] h",
    u"tab\there, line\nfeed, return\rand DEL \x7f and \x01 control",
    u"caf\u00e9 na\u00efve \u00ff \u0100 \u20ac \u4e1c\u4eac \u0391\u03b2\u03b3 and more ascii after it",
    u"pair \xd83d\xde00 lone high \xd800 lone low \xdc00 end \xfffe \xffff \xfffd",
    u"]]]]>>]]>]]",
    u"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9x",
    u"0123456789abcdef&0123456789abcdef<0123456789abcdef\n0123456789abcdef\u00e9",
};

TEST(DomStorageTest, ValuesComeBackUnchanged) {
    auto doc = TXmlDocument::create();
    auto e = doc->createElement(u"e");
    for (const auto& v : kValues) {
        auto text = doc->createTextNode(v);
        auto cdata = doc->createCDATASection(v);
        auto comment = doc->createComment(v);
        e->setAttribute(u"a", v);
        EXPECT_EQ(text->nodeValue(), v);
        EXPECT_EQ(cdata->nodeValue(), v);
        EXPECT_EQ(comment->nodeValue(), v);
        EXPECT_EQ(e->getAttribute(u"a"), v);
        EXPECT_EQ(text->cloneNode(false)->nodeValue(), v);
        EXPECT_EQ(text->text(), v);
    }
}

TEST(DomStorageTest, AValueHandedOutFollowsItsNode) {
    auto doc = TXmlDocument::create();
    auto text = doc->createTextNode(u"first");
    const std::u16string& value = text->nodeValue();
    text->setNodeValue(u"second \u20ac");
    EXPECT_EQ(value, u"second \u20ac");
    EXPECT_EQ(text->nodeValue(), u"second \u20ac");
    EXPECT_EQ(text->text(), u"second \u20ac");
}

TEST(DomStorageTest, NodesHeldOutliveTheirDocument) {
    TXmlNodePtr item, title, text;
    {
        TXmlObjModel model;
        const char feed[] = "<rss><channel><item a=\"v\xC3\xA9\"><title>T\xC3\xA9</title>"
                            "</item></channel></rss>";
        ASSERT_TRUE(model.loadFromMemory(feed, sizeof feed - 1));
        item = model.document()->getElementsByTagName(u"item").item(0);
        title = firstChildOf(item);
        text = firstChildOf(title);
        model.document()->clear();
        ASSERT_TRUE(model.loadFromMemory("<other/>", 8));
    }
    EXPECT_EQ(item->ownerDocument(), nullptr);
    EXPECT_EQ(item->nodeName(), u"item");
    EXPECT_EQ(title->nodeName(), u"title");
    EXPECT_EQ(attributeOf(item, u"a"), u"v\u00e9");
    // Without its document the node has no IgnoreCase to fold names by.
    EXPECT_EQ(attributeOf(item, u"A"), u"");
    EXPECT_EQ(text->nodeValue(), u"T\u00e9");
    EXPECT_EQ(textOf(item), u"T\u00e9");
}

// The writer writes UTF-8 and ISO-8859-1 output straight from the compact
// form; the 16-bit text it makes for xmlText goes the long way. Both must
// give the same bytes in every layout.
TEST(DomStorageTest, BytesWrittenFromCompactValuesAreThoseOfTheText) {
    for (const char16_t* declared : {u"UTF-8", u"ISO-8859-1"})
        for (bool formatted : {true, false})
            for (TXmlLineBreakMode mode : {lbmCR, lbmCRLF, lbmLF})
                for (bool asRefs : {false, true}) {
                    auto doc = TXmlDocument::create();
                    doc->settings().FormattedOutput = formatted;
                    doc->settings().LineBreakMode = mode;
                    doc->settings().LineBreakCharReplace = asRefs;
                    doc->appendChild(doc->createProcessingInstruction(
                        u"xml", std::u16string(u"version=\"1.0\" encoding=\"") + declared + u"\""));
                    auto root = doc->createElement(u"r");
                    doc->appendChild(root);
                    for (const auto& v : kValues) {
                        auto e = doc->appendElement(root, u"e");
                        e->setAttribute(u"a", v);
                        doc->appendText(e, v);
                        doc->appendCDATASection(doc->appendElement(e, u"c"), v);
                        doc->appendCDATASection(e, v);
                    }
                    SCOPED_TRACE(testing::Message() << "formatted " << formatted << " mode "
                                                    << mode << " refs " << asRefs);
                    EXPECT_EQ(xmlBytes(*doc),
                              encodeXmlText(xmlText(*doc), outputEncoding(*doc), false));
                }
}

// Text is made compact eight units at a time where it can be: every mix of
// ASCII and two-byte letters in a block, at every offset, and blocks broken
// by a three-byte letter or a pair, keep their text and take the bytes the
// writer's own encoder gives.
TEST(DomStorageTest, EveryMixOfLettersInABlockComesBackUnchanged) {
    auto doc = TXmlDocument::create();
    auto t = doc->createTextNode(u"");
    const char16_t breakers[] = {0, u'\u4e1c', 0xD83D};
    for (char16_t breaker : breakers)
        for (int offset = 0; offset < 3; ++offset) {
            std::u16string text(static_cast<std::size_t>(offset), u'a');
            for (int mask = 0; mask < 256; ++mask) {
                for (int k = 0; k < 8; ++k)
                    text += (mask >> k) & 1 ? char16_t(u'a' + k)
                                            : char16_t(0x80 + (mask * 8 + k) * 7 % 0x780);
                if (breaker && mask % 5 == 0) {
                    text += breaker;
                    if (breaker == 0xD83D)
                        text += char16_t(0xDE00);
                }
            }
            t->setNodeValue(text);
            EXPECT_TRUE(t->nodeValue() == text) << "offset " << offset;
            const auto& packed = static_cast<const TXmlCharacterData&>(*t).packed();
            EXPECT_TRUE(std::string(packed.bytes()) == encodeXmlText(text, ceUTF8, false))
                << "offset " << offset << ", breaker " << int(breaker);
        }
}

// Large loads have their memory made ready ahead of them: loads one after
// another, one that fails early and one after it all give whole trees, and
// the nodes of an earlier load still held keep their values.
TEST(DomStorageTest, LargeLoadsOneAfterAnotherGiveWholeTrees) {
    auto feed = [](int items, const std::string& tail) {
        std::string s = "<rss><channel>";
        for (int i = 0; i < items; ++i)
            s += "<item n=\"" + std::to_string(i) + "\"><title>caf\xC3\xA9 " +
                 std::to_string(i) + "</title><description><![CDATA[" + std::string(200, 'x') +
                 "]]></description></item>";
        return s + tail;
    };
    const std::string big = feed(30000, "</channel></rss>");
    ASSERT_GT(big.size(), std::size_t(8) << 20);
    TXmlNodePtr held;
    TXmlObjModel model;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(model.loadFromMemory(big.data(), big.size())) << round;
        TXmlNodeList items = model.document()->getElementsByTagName(u"item");
        ASSERT_EQ(items.length(), 30000) << round;
        EXPECT_EQ(textOf(firstChildOf(items.item(29999))), u"caf\u00e9 29999");
        if (!held)
            held = items.item(12345);
    }
    const std::string broken = "<rss><oops" + big;
    EXPECT_FALSE(model.loadFromMemory(broken.data(), broken.size()));
    TXmlObjModel other;
    const std::string bigger = feed(60000, "</channel></rss>");
    ASSERT_TRUE(other.loadFromMemory(bigger.data(), bigger.size()));
    EXPECT_EQ(other.document()->getElementsByTagName(u"item").length(), 60000);
    EXPECT_EQ(attributeOf(held, u"n"), u"12345");
    EXPECT_EQ(textOf(firstChildOf(held)), u"caf\u00e9 12345");
}

} // namespace
