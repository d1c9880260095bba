#include "editing/ChannelFields.h"
#include "editing/EditingTestSupport.h"
#include "feed/FeedLookups.h"
#include "feed/FeedTemplate.h"

#include <functional>
#include <stdexcept>

namespace {

const std::string oneItem = "<item><title>t</title><category>item cat</category>"
                            "<link>item link</link></item>";

TEST(ChannelFields, LeavingAFieldWritesOnlyWhenItsValueChangedSinceEntry) {
    const struct {
        QString onEnter, value;
        bool writes;
    } cases[] = {
        {valueOnEnter("a"), "a", false},     {valueOnEnter("a"), "b", true},
        {valueOnEnter("a"), "A", true}, // the comparison is exact
        {valueOnEnter(""), "", true},   // empty on entry always writes
        {valueOnEnter(""), "x", true},       {QString(), "x", false}, // no field entered yet
        {valueOnEnter("|||"), "|||", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(leavingFieldWrites(c.onEnter, c.value), c.writes)
            << c.onEnter.toStdString() << " -> " << c.value.toStdString();
    EXPECT_EQ(valueOnEnter(""), "|||");
}

TEST(ChannelFields, TheLanguageIsStoredAsACode) {
    const struct {
        QString box, stored;
    } cases[] = {
        {"[fr-FR] French (France)", "fr-FR"},
        {"[ja-JP] Japanese (Japan)", "ja-JP"},
        {"[en-US]", "en-US"},
        {"[de]", "de"},
        {"fr-FR", "fr-FR"},
        {"English (United States)", "English"},
        {"de", "de"},
        {"", ""},
        {"[] empty", "[] empt"},
        {"[fr FR] spaced", "[fr FR]"},
        {QString::fromUtf8("abcdef\xF0\x9F\x98\x80xyz"),
         QString::fromUtf8("abcdef\xF0\x9F\x98\x80")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(languageValue(c.box), c.stored) << c.box.toStdString();
}

using Write = std::function<void(const TXmlDocumentPtr&)>;

TEST(ChannelFields, AWriteReplacesTheChannelsElementOrInsertsItBeforeTheFirstItem) {
    const struct {
        const char* what;
        std::string feed;
        Write write;
        std::string channel;
    } cases[] = {
        {"replaced in place, attributes dropped",
         feedWith("<docs a=\"1\"><b/>old</docs><ttl>5</ttl>", oneItem),
         [](const TXmlDocumentPtr& d) { writeChannelText(d, u"docs", "new"); },
         "<title>C</title><link>L</link><description>D</description><docs>new</docs>"
         "<ttl>5</ttl>" +
             oneItem},
        {"created right before the first item", feedWith("<ttl>5</ttl>", oneItem),
         [](const TXmlDocumentPtr& d) { writeChannelText(d, u"docs", ""); },
         "<title>C</title><link>L</link><description>D</description><ttl>5</ttl><docs></docs>" +
             oneItem},
        {"appended in a channel without items", feedWith("", ""),
         [](const TXmlDocumentPtr& d) { writeChannelText(d, u"rating", "r"); },
         "<title>C</title><link>L</link><description>D</description><rating>r</rating>"},
        {"the channel's category, never an item's", feedWith("", oneItem),
         [](const TXmlDocumentPtr& d) { writeChannelCategory(d, "News", std::nullopt); },
         "<title>C</title><link>L</link><description>D</description><category>News</category>" +
             oneItem},
        {"category with its domain", feedWith("<category domain=\"x\">Old</category>", oneItem),
         [](const TXmlDocumentPtr& d) { writeChannelCategory(d, "News", QString("y")); },
         "<title>C</title><link>L</link><description>D</description>"
         "<category domain=\"y\">News</category>" +
             oneItem},
        {"cloud rewritten whole",
         feedWith("<cloud domain=\"old\" extra=\"1\"><x/></cloud>", oneItem),
         [](const TXmlDocumentPtr& d) {
             writeCloud(d, {"", "80", "", "", ""});
         },
         "<title>C</title><link>L</link><description>D</description>"
         "<cloud domain=\"\" port=\"80\" path=\"\" registerProcedure=\"\" protocol=\"\"/>" +
             oneItem},
        {"text input rewritten whole",
         feedWith("<textInput><name>n</name><extra/><title>t</title></textInput>", oneItem),
         [](const TXmlDocumentPtr& d) {
             writeTextInput(d, {"T", "", "N", "L2"});
         },
         "<title>C</title><link>L</link><description>D</description>"
         "<textInput><title>T</title><description></description><name>N</name><link>L2</link></"
         "textInput>" +
             oneItem},
        {"title of the channel, not of the text input",
         feedWith("<textInput><title>ti</title></textInput>", oneItem),
         [](const TXmlDocumentPtr& d) { writeChannelText(d, u"title", "New"); },
         "<title>New</title><link>L</link><description>D</description>"
         "<textInput><title>ti</title></textInput>" +
             oneItem},
    };
    for (const auto& c : cases) {
        const auto model = loadFeed(c.feed);
        c.write(model->document());
        std::string inner = markup(channelOf(model->document()));
        inner = inner.substr(9, inner.size() - 9 - 10);
        EXPECT_EQ(inner, c.channel) << c.what;
    }
}

TEST(ChannelFields, TheCategoryKeepsItsDomainOnlyWhenItHasOne) {
    const auto with = loadFeed(feedWith("<category domain=\"\">a</category>", oneItem));
    EXPECT_TRUE(channelCategoryHasDomain(with->document()));
    const auto without = loadFeed(feedWith("<category other=\"x\">a</category>",
                                           "<item><category domain=\"d\">c</category></item>"));
    EXPECT_FALSE(channelCategoryHasDomain(without->document()));
    const auto none = loadFeed(feedWith("", oneItem));
    EXPECT_FALSE(channelCategoryHasDomain(none->document()));
}

TEST(ChannelFields, LogoFieldsWriteIntoTheImageAndMakeOneWhenMissing) {
    const struct {
        const char* what;
        std::string feed;
        std::u16string field;
        std::string channel;
    } cases[] = {
        {"template image", std::string(NewFeedTemplate), u"url",
         "<title>Channel Title</title><link>http://</link><description>RSS Feed</description>"
         "<image><title/><link/><url>V</url></image>"
         "<item><title/><link/><description/></item>"},
        {"no image: one is made before the first item", feedWith("", oneItem), u"link",
         "<title>C</title><link>L</link><description>D</description>"
         "<image><title/><link>V</link><url/></image>" +
             oneItem},
        {"no image and no item", feedWith("", ""), u"title",
         "<title>C</title><link>L</link><description>D</description>"
         "<image><title>V</title><link/><url/></image>"},
        {"image lacking the field", feedWith("<image><width>9</width></image>", oneItem), u"title",
         "<title>C</title><link>L</link><description>D</description>"
         "<image><width>9</width><title>V</title></image>" +
             oneItem},
    };
    for (const auto& c : cases) {
        const auto model = loadFeed(c.feed);
        writeLogoField(model->document(), c.field, "V");
        std::string inner = markup(channelOf(model->document()));
        inner = inner.substr(inner.find('>') + 1);
        inner = inner.substr(0, inner.size() - 10);
        EXPECT_EQ(inner, c.channel) << c.what;
    }
}

TEST(ChannelFields, ANewElementStaysInTheFirstChannelWhenItemsStandElsewhere) {
    const auto model = loadFeed("<rss><channel><title>1</title></channel>"
                                "<channel><title>2</title><item><title>b</title></item>"
                                "</channel></rss>");
    const TXmlDocumentPtr& doc = model->document();
    writeChannelText(doc, u"docs", "a");
    writeChannelText(doc, u"docs", "b");
    EXPECT_EQ(markup(doc->documentElement()),
              "<rss><channel><title>1</title><docs>b</docs></channel>"
              "<channel><title>2</title><item><title>b</title></item></channel></rss>");
}

TEST(ChannelFields, AFeedWithoutChannelIsRefusedAndLeftAlone) {
    const auto model = loadFeed("<rss><item><title>a</title></item></rss>");
    const TXmlDocumentPtr& doc = model->document();
    const std::string before = markup(doc->documentElement());
    const Write writes[] = {
        [](const TXmlDocumentPtr& d) { writeChannelText(d, u"docs", "x"); },
        [](const TXmlDocumentPtr& d) { writeChannelCategory(d, "x", QString("d")); },
        [](const TXmlDocumentPtr& d) { writeLogoField(d, u"url", "x"); },
        [](const TXmlDocumentPtr& d) { writeCloud(d, {}); },
        [](const TXmlDocumentPtr& d) { writeTextInput(d, {}); },
    };
    for (const Write& write : writes) {
        EXPECT_THROW(write(doc), std::runtime_error);
        EXPECT_EQ(markup(doc->documentElement()), before);
    }
}

} // namespace
