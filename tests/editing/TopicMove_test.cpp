// Moving an item of the feed document in front of another one.
#include "editing/TopicMove.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class TopicMoveTest : public ::testing::Test {
protected:
    TXmlObjModel xml;

    void load(const std::string& items, const std::string& outside = {}) {
        const std::string bytes = "<rss version=\"2.0\"><channel><title>C</title>" + items +
                                  "</channel>" + outside + "</rss>";
        ASSERT_TRUE(xml.loadFromMemory(bytes.data(), bytes.size()));
    }
};

const std::string fourItems = "<item><title>A</title></item><item><title>B</title></item>"
                              "<item><title>C</title></item><item><title>D</title></item>";

struct MoveCase {
    const char* what;
    long source;
    long before;
    const char* order;
};

class TopicMoveOrderTest : public TopicMoveTest, public ::testing::WithParamInterface<MoveCase> {};

} // namespace

TEST_P(TopicMoveOrderTest, PutsTheItemInFrontOfTheReference) {
    const MoveCase& c = GetParam();
    load(fourItems);
    ASSERT_TRUE(moveTopic(xml.document(), c.source, c.before));
    std::string order;
    const TXmlNodeList items = xml.document()->getElementsByTagName(u"item");
    for (const TXmlNodePtr& item : items.nodes())
        for (char16_t ch : item->text())
            order += char(ch);
    EXPECT_EQ(order, c.order) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Orders, TopicMoveOrderTest,
    ::testing::Values(MoveCase{"down in front of a later item", 0, 2, "BACD"},
                      MoveCase{"up in front of an earlier item", 3, 1, "ADBC"},
                      MoveCase{"to the top", 2, 0, "CABD"},
                      MoveCase{"in front of the next item changes nothing", 1, 2, "ABCD"},
                      MoveCase{"in front of itself changes nothing", 2, 2, "ABCD"}));

TEST_F(TopicMoveTest, TheMovedItemKeepsEveryChildAndAttribute) {
    const std::string a = "<item><title>A</title></item>";
    const std::string b =
        "<item id=\"b\" xml:lang=\"de\"><title>B</title><link>http://b/</link>"
        "<description><![CDATA[<p>x</p>]]></description><category domain=\"d\">one</category>"
        "<category>two</category><enclosure length=\"1\" type=\"t\" url=\"u\"/>"
        "<x:extra xmlns:x=\"urn:x\">keep</x:extra><!--note--></item>";
    load(b + a);
    const std::u16string expected = xml.xmlText();
    load(a + b);
    ASSERT_TRUE(moveTopic(xml.document(), 1, 0));
    EXPECT_EQ(xml.xmlText(), expected);
}

TEST_F(TopicMoveTest, PositionsWithoutAnItemOfTheChannelLeaveTheDocumentAlone) {
    // The second item stands outside the channel: the tree shows it, but it is
    // not one of the channel's items.
    load("<item><title>A</title></item>", "<item><title>Out</title></item>");
    const std::u16string before = xml.xmlText();
    for (auto [source, reference] : {std::pair{1L, 0L}, {0L, 1L}, {-1L, 0L}}) {
        EXPECT_FALSE(canMoveTopic(xml.document(), source, reference));
        EXPECT_FALSE(moveTopic(xml.document(), source, reference));
    }
    EXPECT_EQ(xml.xmlText(), before);
}
