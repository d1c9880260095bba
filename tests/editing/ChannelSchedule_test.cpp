#include "editing/ChannelSchedule.h"
#include "editing/EditingTestSupport.h"
#include "feed/FeedLookups.h"

#include <functional>

namespace {

const std::string item = "<item><title>t</title><pubDate>item date</pubDate></item>";

// The channel's children after the three the feeds start with.
std::string channelRest(const TXmlDocumentPtr& doc) {
    std::string inner = markup(channelOf(doc));
    const std::string start = "<channel><title>C</title><link>L</link><description>D</description>";
    EXPECT_EQ(inner.substr(0, start.size()), start);
    return inner.substr(start.size(), inner.size() - start.size() - 10);
}

TEST(ChannelSchedule, EachWriteReplacesItsTargetOrPlacesANewOne) {
    using Write = std::function<bool(const TXmlDocumentPtr&)>;
    const struct {
        const char* what;
        std::string channel;
        Write write;
        bool written;
        std::string expected;
    } cases[] = {
        {"a new pubDate goes before the first item, not into it", item,
         [](const TXmlDocumentPtr& d) {
             writeChannelDate(d, u"pubDate", "now");
             return true;
         },
         true, "<pubDate>now</pubDate>" + item},
        {"lastBuildDate replaced", "<lastBuildDate>old</lastBuildDate><ttl>1</ttl>" + item,
         [](const TXmlDocumentPtr& d) {
             writeChannelDate(d, u"lastBuildDate", "now");
             return true;
         },
         true, "<lastBuildDate>now</lastBuildDate><ttl>1</ttl>" + item},
        {"ttl created", item, [](const TXmlDocumentPtr& d) { return writeTimeToLive(d, 60); }, true,
         "<ttl>60</ttl>" + item},
        {"ttl replaced, negative as typed", "<ttl>60</ttl>" + item,
         [](const TXmlDocumentPtr& d) { return writeTimeToLive(d, -5); }, true,
         "<ttl>-5</ttl>" + item},
        {"ttl 0 removes it", "<ttl>60</ttl>" + item,
         [](const TXmlDocumentPtr& d) { return writeTimeToLive(d, 0); }, true, item},
        {"ttl 0 without ttl changes nothing", item,
         [](const TXmlDocumentPtr& d) { return writeTimeToLive(d, 0); }, false, item},
        {"ttl in a channel without items", "",
         [](const TXmlDocumentPtr& d) { return writeTimeToLive(d, 5); }, true, "<ttl>5</ttl>"},
        {"width held at 144", "<image><url/></image>" + item,
         [](const TXmlDocumentPtr& d) { return writeLogoSize(d, u"width", 200); }, true,
         "<image><url/><width>144</width></image>" + item},
        {"height held at 400", "<image><height>1</height><url/></image>" + item,
         [](const TXmlDocumentPtr& d) { return writeLogoSize(d, u"height", 500); }, true,
         "<image><height>400</height><url/></image>" + item},
        {"width 0 removes it", "<image><width>88</width></image>" + item,
         [](const TXmlDocumentPtr& d) { return writeLogoSize(d, u"width", 0); }, true,
         "<image/>" + item},
        {"a negative width is 0", item,
         [](const TXmlDocumentPtr& d) { return writeLogoSize(d, u"width", -3); }, false, item},
        {"width without an image makes one", item,
         [](const TXmlDocumentPtr& d) { return writeLogoSize(d, u"width", 88); }, true,
         "<image><title/><link/><url/><width>88</width></image>" + item},
        {"skip days in list order", item,
         [](const TXmlDocumentPtr& d) {
             writeSkipList(d, u"skipDays", u"day", {"Monday", "Saturday"});
             return true;
         },
         true, "<skipDays><day>Monday</day><day>Saturday</day></skipDays>" + item},
        {"no hour checked leaves an empty list",
         "<skipHours><hour>1</hour><other/></skipHours>" + item,
         [](const TXmlDocumentPtr& d) {
             writeSkipList(d, u"skipHours", u"hour", {});
             return true;
         },
         true, "<skipHours/>" + item},
    };
    for (const auto& c : cases) {
        const auto model = loadFeed(feedWith("", c.channel));
        EXPECT_EQ(c.write(model->document()), c.written) << c.what;
        EXPECT_EQ(channelRest(model->document()), c.expected) << c.what;
    }
}

} // namespace
