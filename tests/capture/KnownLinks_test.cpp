#include "capture/KnownLinks.h"

#include <gtest/gtest.h>

#include <QString>

#include <memory>
#include <string>

namespace {

std::unique_ptr<TXmlObjModel> load(const std::string& xml) {
    auto model = std::make_unique<TXmlObjModel>();
    EXPECT_TRUE(model->loadFromMemory(xml.data(), xml.size())) << xml;
    return model;
}

std::string feed(const std::string& items) {
    return "<rss version=\"2.0\"><channel><title>C</title><link>http://site.invalid/</link>" +
           items + "</channel></rss>";
}

TEST(KnownLinks, EachLinkKeepsTheDateAndGuidOfTheFirstItemThatHoldsIt) {
    const auto model = load(feed(
        "<item><title>A</title><link>http://a.invalid/1</link>"
        "<guid isPermaLink=\"false\">a-1</guid><pubDate>Mon, 02 Mar 2026 08:00:00 +0000</pubDate>"
        "</item>"
        "<item><title>B</title><link>http://a.invalid/2</link>"
        "<pubDate>Sun, 01 Mar 2026 07:00:00 +0000</pubDate></item>"
        // An older copy of the first story further down does not count.
        "<item><title>A again</title><link>http://a.invalid/1</link><guid>old</guid>"
        "<pubDate>Sat, 28 Feb 2026 06:00:00 +0000</pubDate></item>"
        "<item><title>C</title><link>http://a.invalid/3</link></item>"
        // The blank item a clearing leaves, and any other item without a link.
        "<item><title/><link/><description/><pubDate/></item>"
        "<item><title>No link</title><pubDate>Fri, 27 Feb 2026 05:00:00 +0000</pubDate></item>"));

    const TKnownItems known = knownItemsByLink(model->document());

    ASSERT_EQ(known.size(), 3);
    const TKnownItem first = known.value(QStringLiteral("http://a.invalid/1"));
    EXPECT_EQ(first.PubDate, QStringLiteral("Mon, 02 Mar 2026 08:00:00 +0000"));
    EXPECT_EQ(first.Guid, QStringLiteral("a-1"));
    EXPECT_EQ(first.GuidPermaLink, QStringLiteral("false"));
    const TKnownItem second = known.value(QStringLiteral("http://a.invalid/2"));
    EXPECT_EQ(second.PubDate, QStringLiteral("Sun, 01 Mar 2026 07:00:00 +0000"));
    EXPECT_FALSE(second.Guid.has_value());
    const TKnownItem third = known.value(QStringLiteral("http://a.invalid/3"));
    EXPECT_TRUE(third.PubDate.isEmpty());
    EXPECT_FALSE(third.Guid.has_value());
}

TEST(KnownLinks, AFeedWithoutItemsOrChannelKnowsNoLink) {
    EXPECT_TRUE(knownItemsByLink(load(feed(""))->document()).isEmpty());
    EXPECT_TRUE(knownItemsByLink(load("<rss/>")->document()).isEmpty());
}

} // namespace
