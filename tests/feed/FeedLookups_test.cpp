#include "feed/FeedLookups.h"
#include "feed/FeedTemplate.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// A feed document as the program holds it: loaded by the window's component.
std::unique_ptr<TXmlObjModel> load(std::string_view xml) {
    auto model = std::make_unique<TXmlObjModel>();
    EXPECT_TRUE(model->loadFromMemory(xml.data(), xml.size())) << xml;
    return model;
}

std::u16string nameOf(const TXmlNodePtr& node) {
    return node ? node->nodeName() : u"<null>";
}

TEST(FeedLookups, TemplateFeed) {
    const auto model = load(NewFeedTemplate);
    const TXmlDocumentPtr& doc = model->document();
    const TXmlNodePtr channel = channelOf(doc);
    ASSERT_TRUE(channel);
    EXPECT_EQ(nameOf(parentOf(channel)), u"rss");
    const TXmlNodeList children = channel->childNodes();
    ASSERT_EQ(children.length(), 5);
    const std::u16string names[] = {u"title", u"link", u"description", u"image", u"item"};
    for (long i = 0; i < 5; ++i)
        EXPECT_EQ(nameOf(children.item(i)), names[i]);
    EXPECT_EQ(channelDisplayName(doc), u"Channel Title");

    const TXmlNodeList items = itemsOf(doc);
    ASSERT_EQ(items.length(), 1);
    const TXmlNodePtr item = items.item(0);
    const TXmlNodeList fields = item->childNodes();
    ASSERT_EQ(fields.length(), 3);
    for (const TXmlNodePtr& child : fields.nodes())
        EXPECT_FALSE(child->hasChildNodes())
            << std::string(nameOf(child).begin(), nameOf(child).end());
    EXPECT_EQ(headlineOf(item), u"");
    EXPECT_EQ(synopsisOf(item), u"");

    EXPECT_EQ(textOf(channelField(channel, u"link")), u"http://");
    EXPECT_EQ(textOf(channelField(channel, u"DESCRIPTION")), u"RSS Feed");
    EXPECT_FALSE(channelField(channel, u"language"));
    EXPECT_EQ(parentOf(firstImageOf(doc)), channel);

    const TChannelInsertionPoint at = channelInsertionPoint(doc);
    EXPECT_EQ(at.parent, channel);
    EXPECT_EQ(at.before, item);
}

TEST(FeedLookups, ChannelIsReadByPosition) {
    const auto model = load("<rss><channel><description>About</description><title>T</title>"
                            "<textInput><link>x</link></textInput>"
                            "<item><title>one</title></item></channel>"
                            "<channel><title>Second</title><item><title>two</title></item>"
                            "<item><title>three</title></item></channel></rss>");
    const TXmlDocumentPtr& doc = model->document();
    EXPECT_EQ(channelDisplayName(doc), u"About");
    // Only the channel's own children count as its fields.
    EXPECT_FALSE(channelField(channelOf(doc), u"link"));
    const TXmlNodeList items = itemsOf(doc);
    ASSERT_EQ(items.length(), 3);
    EXPECT_EQ(headlineOf(items.item(0)), u"one");
    EXPECT_EQ(headlineOf(items.item(1)), u"two");
    EXPECT_EQ(headlineOf(items.item(2)), u"three");
}

TEST(FeedLookups, SynopsisIsTheThirdChildWhateverItsName) {
    const struct {
        const char* item;
        std::u16string headline;
        std::u16string synopsis;
    } cases[] = {
        {"<item><title><![CDATA[H]]></title><link>l</link><description><![CDATA[S &amp; "
         "more]]></description></item>",
         u"H", u"S &amp; more"},
        {"<item><title>H</title><link>l</link><author>Ann</author><pubDate>D</pubDate></item>",
         u"H", u"Ann"},
        {"<item><title>H</title><link></link><pubDate>Mon, 01 Jan 2024 10:00:00 +0000</pubDate>"
         "</item>",
         u"H", u"Mon, 01 Jan 2024 10:00:00 +0000"},
        {"<item><title>H</title><link>l</link></item>", u"H", u""},
        {"<item><title>H</title></item>", u"H", u""},
        {"<item/>", u"", u""},
    };
    for (const auto& c : cases) {
        const auto model =
            load(std::string("<rss><channel><title>C</title>") + c.item + "</channel></rss>");
        const TXmlNodePtr item = itemsOf(model->document()).item(0);
        ASSERT_TRUE(item) << c.item;
        EXPECT_EQ(headlineOf(item), c.headline) << c.item;
        EXPECT_EQ(synopsisOf(item), c.synopsis) << c.item;
    }
}

TEST(FeedLookups, MissingPartsGiveNothing) {
    const auto noChannel = load("<rss version=\"2.0\"/>");
    const TXmlDocumentPtr empty = TXmlDocument::create();
    for (const TXmlDocumentPtr& doc : {noChannel->document(), empty, TXmlDocumentPtr()}) {
        EXPECT_FALSE(channelOf(doc));
        EXPECT_EQ(itemsOf(doc).length(), 0);
        EXPECT_EQ(channelDisplayName(doc), u"");
        EXPECT_FALSE(firstImageOf(doc));
        const TChannelInsertionPoint at = channelInsertionPoint(doc);
        EXPECT_FALSE(at.parent);
        EXPECT_FALSE(at.before);
    }
    EXPECT_FALSE(channelField(nullptr, u"title"));
    EXPECT_EQ(headlineOf(nullptr), u"");
    EXPECT_EQ(synopsisOf(nullptr), u"");

    const auto noItems = load("<rss><channel><title>C</title></channel></rss>");
    const TChannelInsertionPoint at = channelInsertionPoint(noItems->document());
    EXPECT_EQ(at.parent, channelOf(noItems->document()));
    EXPECT_FALSE(at.before);
    EXPECT_EQ(channelDisplayName(load("<rss><channel/></rss>")->document()), u"");
}

TEST(FeedLookups, NewChannelElementGoesBeforeTheFirstItem) {
    const auto model = load(NewFeedTemplate);
    const TXmlDocumentPtr& doc = model->document();
    const TChannelInsertionPoint at = channelInsertionPoint(doc);
    at.parent->insertBefore(doc->createElement(u"language"), at.before);
    EXPECT_EQ(nameOf(childAt(channelOf(doc), 4)), u"language");
    EXPECT_EQ(nameOf(childAt(channelOf(doc), 5)), u"item");
    EXPECT_EQ(channelField(channelOf(doc), u"language"), childAt(channelOf(doc), 4));
}

TEST(FeedLookups, DecimalOrZero) {
    const struct {
        std::u16string text;
        int expected;
    } cases[] = {
        {u"60", 60},
        {u" 15 ", 15},
        {u"-5", -5},
        {u"+7", 7},
        {u"", 0},
        {u"abc", 0},
        {u"12px", 0},
        {u"$10", 0},
        {u"0x10", 0},
        {u"1 2", 0},
        {u"-", 0},
        {u"2147483647", 2147483647},
        {u"-2147483648", -2147483647 - 1},
        {u"2147483648", 0},
        {u"99999999999999999999", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decimalOrZero(c.text), c.expected) << std::string(c.text.begin(), c.text.end());
}

} // namespace
