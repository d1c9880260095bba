// The new-feed template: what it loads into and how it is written.

#include "feed/FeedTemplate.h"
#include "xml/XmlDom.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

namespace {

TEST(FeedTemplate, IsTheFixedText) {
    EXPECT_EQ(NewFeedTemplate.size(), 305u);
    EXPECT_TRUE(NewFeedTemplate.starts_with("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss"));
    EXPECT_TRUE(NewFeedTemplate.ends_with("</item></channel></rss>"));
}

TEST(FeedTemplate, LoadsIntoAChannelWithOneBlankItem) {
    TXmlObjModel model;
    ASSERT_TRUE(model.loadFromMemory(NewFeedTemplate.data(), NewFeedTemplate.size()));
    auto doc = model.document();
    auto decl = doc->firstChild();
    ASSERT_EQ(decl->nodeType(), PROCESSING_INSTRUCTION_NODE);
    EXPECT_EQ(decl->nodeName(), u"xml");
    EXPECT_EQ(decl->nodeValue(), u"version=\"1.0\" encoding=\"ISO-8859-1\"");
    auto rss = doc->documentElement();
    EXPECT_EQ(rss->getAttribute(u"version"), u"2.0");
    ASSERT_EQ(rss->childNodes().length(), 1);
    auto channel = rss->firstChild();
    TXmlNodeList children = channel->childNodes();
    ASSERT_EQ(children.length(), 5);
    EXPECT_EQ(textOf(children.item(0)), u"Channel Title");
    EXPECT_EQ(textOf(children.item(1)), u"http://");
    EXPECT_EQ(textOf(children.item(2)), u"RSS Feed");
    EXPECT_EQ(children.item(3)->childNodes().length(), 3);
    auto item = children.item(4);
    EXPECT_EQ(item->nodeName(), u"item");
    ASSERT_EQ(item->childNodes().length(), 3);
    for (const auto& c : item->childNodes().nodes())
        EXPECT_FALSE(c->hasChildNodes()) << std::string(c->nodeName().begin(), c->nodeName().end());
    EXPECT_EQ(model.OutCharSet(), ceISO88591);
}

TEST(FeedTemplate, IsWrittenAsTheEighteenLineFile) {
    TXmlObjModel model;
    model.loadFromMemory(NewFeedTemplate.data(), NewFeedTemplate.size());
    const char* lines[] = {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
                           "<rss version=\"2.0\">",
                           "  <channel>",
                           "    <title>Channel Title</title>",
                           "    <link>http://</link>",
                           "    <description>RSS Feed</description>",
                           "    <image>",
                           "      <title/>",
                           "      <link/>",
                           "      <url/>",
                           "    </image>",
                           "    <item>",
                           "      <title/>",
                           "      <link/>",
                           "      <description/>",
                           "    </item>",
                           "  </channel>",
                           "</rss>"};
    std::string expected;
    for (const char* l : lines)
        expected += (expected.empty() ? "" : "\r\n") + std::string(l);
    std::string bytes = xmlBytes(*model.document());
    EXPECT_EQ(bytes.size(), 350u);
    EXPECT_EQ(bytes, expected);
}

} // namespace
