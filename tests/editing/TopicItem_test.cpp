#include "editing/EditingTestSupport.h"
#include "editing/TopicItem.h"
#include "feed/FeedLookups.h"

#include <stdexcept>

namespace {

TTopicFields headlineOnly(const QString& headline) {
    TTopicFields fields;
    fields.headline = headline;
    fields.pubDate = "Sat, 14 Mar 2026 09:26:53 +0000";
    return fields;
}

TEST(TopicItem, EveryFieldIsWrittenInTheItemWritersOrder) {
    const auto model = loadFeed(feedWith("", "<item><title>old</title></item>"));
    TTopicFields fields = headlineOnly("A & B");
    fields.link = "http://example.invalid/a?x=1&y=2";
    fields.synopsis = "line one\nline two";
    fields.author = "ann@example.invalid";
    fields.comments = "http://example.invalid/c";
    fields.source = "Wire";
    fields.category = "News";
    fields.categoryDomain = "http://example.invalid/cats";
    fields.guid = "g-1";
    fields.guidPermaLink = "false";
    fields.enclosureUrl = "http://example.invalid/e.mp3";
    fields.enclosureLength = "1234";
    fields.enclosureType = "audio/mpeg";
    EXPECT_EQ(
        markup(buildTopicItem(model->document(), fields)),
        "<item><title><![CDATA[A & B]]></title>"
        "<link>http://example.invalid/a?x=1&amp;y=2</link>"
        "<description><![CDATA[line one   line two]]></description>"
        "<author>ann@example.invalid</author><comments>http://example.invalid/c</comments>"
        "<source>Wire</source>"
        "<category domain=\"http://example.invalid/cats\">News</category>"
        "<guid isPermaLink=\"false\">g-1</guid>"
        "<enclosure length=\"1234\" type=\"audio/mpeg\" url=\"http://example.invalid/e.mp3\"/>"
        "<pubDate>Sat, 14 Mar 2026 09:26:53 +0000</pubDate></item>");
}

TEST(TopicItem, OptionalFieldsAreWrittenOnlyWhenNotEmpty) {
    const auto model = loadFeed(feedWith("", ""));
    const TXmlDocumentPtr& doc = model->document();
    const struct {
        const char* what;
        void (*fill)(TTopicFields&);
        std::string expected;
    } cases[] = {
        {"headline only", [](TTopicFields&) {},
         "<item><title><![CDATA[H]]></title><link></link><pubDate>P</pubDate></item>"},
        // A synopsis of nothing but three-space runs is no synopsis.
        {"synopsis of blanks", [](TTopicFields& f) { f.synopsis = "      "; },
         "<item><title><![CDATA[H]]></title><link></link><pubDate>P</pubDate></item>"},
        {"author without synopsis", [](TTopicFields& f) { f.author = "Ann"; },
         "<item><title><![CDATA[H]]></title><link></link><author>Ann</author><pubDate>P</pubDate>"
         "</item>"},
        {"category with an empty domain", [](TTopicFields& f) { f.category = "C"; },
         "<item><title><![CDATA[H]]></title><link></link><category domain=\"\">C</category>"
         "<pubDate>P</pubDate></item>"},
        {"domain without category", [](TTopicFields& f) { f.categoryDomain = "d"; },
         "<item><title><![CDATA[H]]></title><link></link><pubDate>P</pubDate></item>"},
        {"guid with an empty permalink", [](TTopicFields& f) { f.guid = "G"; },
         "<item><title><![CDATA[H]]></title><link></link><guid isPermaLink=\"\">G</guid>"
         "<pubDate>P</pubDate></item>"},
        {"enclosure before a probe", [](TTopicFields& f) { f.enclosureUrl = "u"; },
         "<item><title><![CDATA[H]]></title><link></link>"
         "<enclosure length=\"\" type=\"\" url=\"u\"/><pubDate>P</pubDate></item>"},
        {"length and type without address",
         [](TTopicFields& f) {
             f.enclosureLength = "1";
             f.enclosureType = "t";
         },
         "<item><title><![CDATA[H]]></title><link></link><pubDate>P</pubDate></item>"},
        {"synopsis with markup", [](TTopicFields& f) { f.synopsis = "<p>a]]>b</p>"; },
         "<item><title><![CDATA[H]]></title><link></link>"
         "<description><![CDATA[<p>a]]]]><![CDATA[>b</p>]]></description>"
         "<pubDate>P</pubDate></item>"},
    };
    for (const auto& c : cases) {
        TTopicFields fields;
        fields.headline = "H";
        fields.pubDate = "P";
        c.fill(fields);
        EXPECT_EQ(markup(buildTopicItem(doc, fields)), c.expected) << c.what;
    }
}

TEST(TopicItem, AnEditKeepsWhatTheEditorDoesNotShowInItsOldOrder) {
    const auto model = loadFeed(feedWith(
        "", "<item xmlns:media=\"http://search.yahoo.com/mrss/\" id=\"7\">"
            "<title>Old</title><itunes:duration>12:00</itunes:duration>"
            "<category>First</category><!-- kept note --><category domain=\"d\">Second</category>"
            "<link>l</link><media:content url=\"m.jpg\"><media:title>T</media:title>"
            "</media:content><enclosure url=\"a.mp3\" length=\"1\" type=\"audio/mpeg\"/>"
            "<?app keep?><enclosure url=\"b.mp3\" length=\"2\" type=\"audio/mpeg\"/>"
            "<guid>g</guid><comments>c</comments><pubDate>p</pubDate></item>"));
    const TXmlDocumentPtr& doc = model->document();
    const TXmlNodePtr old = itemsOf(doc).item(0);
    TXmlElementPtr item = buildTopicItem(doc, headlineOnly("New"));
    keepUnshownParts(old, item);
    EXPECT_EQ(markup(item),
              "<item xmlns:media=\"http://search.yahoo.com/mrss/\" id=\"7\">"
              "<title><![CDATA[New]]></title><link></link>"
              "<pubDate>Sat, 14 Mar 2026 09:26:53 +0000</pubDate>"
              "<itunes:duration>12:00</itunes:duration><!-- kept note -->"
              "<category domain=\"d\">Second</category>"
              "<media:content url=\"m.jpg\"><media:title>T</media:title></media:content>"
              "<?app keep?><enclosure url=\"b.mp3\" length=\"2\" type=\"audio/mpeg\"/></item>");
    // Copies, not the old nodes: the old item is whole still.
    EXPECT_EQ(old->childNodes().length(), 13);
}

TEST(TopicItem, NamesTheEditorWritesAreMatchedAsTheLookupsMatchThem) {
    const auto model = loadFeed(
        feedWith("", "<item><TITLE>t</TITLE><Category>a</Category><CATEGORY>b</CATEGORY><PubDate>p"
                     "</PubDate><Guid>g</Guid></item>"));
    const TXmlDocumentPtr& doc = model->document();
    ASSERT_TRUE(doc->settings().IgnoreCase);
    TXmlElementPtr item = buildTopicItem(doc, headlineOnly("t"));
    keepUnshownParts(itemsOf(doc).item(0), item);
    EXPECT_EQ(markup(item), "<item><title><![CDATA[t]]></title><link></link>"
                            "<pubDate>Sat, 14 Mar 2026 09:26:53 +0000</pubDate>"
                            "<CATEGORY>b</CATEGORY></item>");
}

TEST(TopicItem, EditReadsEveryFieldIncludingTheEnclosuresLengthAndType) {
    const struct {
        const char* item;
        TTopicOnEdit expected;
    } cases[] = {
        {"<item><title>H</title><link>l</link><author>a</author><comments>c</comments>"
         "<source url=\"x\">s</source><category domain=\"d\">cat</category>"
         "<guid isPermaLink=\"true\">g</guid>"
         "<enclosure url=\"u\" length=\"99\" type=\"audio/mpeg\"/><pubDate>p</pubDate></item>",
         {"l", "a", "c", "s", QString("cat"), "d", QString("g"), "true", "u", "99", "audio/mpeg",
          true, "p"}},
        {"<item><title>H</title></item>",
         {"", "", "", "", std::nullopt, "", std::nullopt, "", "", "", "", false, ""}},
        // Missing attributes read as empty; the first of several is read.
        {"<item><category>one</category><category domain=\"2\">two</category><guid>g</guid>"
         "<enclosure/><enclosure url=\"second\"/></item>",
         {"", "", "", "", QString("one"), "", QString("g"), "", "", "", "", true, ""}},
    };
    for (const auto& c : cases) {
        const auto model = loadFeed(feedWith("", c.item));
        const TTopicOnEdit got = readTopic(itemsOf(model->document()).item(0));
        const TTopicOnEdit& want = c.expected;
        EXPECT_EQ(got.link, want.link) << c.item;
        EXPECT_EQ(got.author, want.author) << c.item;
        EXPECT_EQ(got.comments, want.comments) << c.item;
        EXPECT_EQ(got.source, want.source) << c.item;
        EXPECT_EQ(got.category, want.category) << c.item;
        EXPECT_EQ(got.categoryDomain, want.categoryDomain) << c.item;
        EXPECT_EQ(got.guid, want.guid) << c.item;
        EXPECT_EQ(got.guidPermaLink, want.guidPermaLink) << c.item;
        EXPECT_EQ(got.enclosureUrl, want.enclosureUrl) << c.item;
        EXPECT_EQ(got.enclosureLength, want.enclosureLength) << c.item;
        EXPECT_EQ(got.enclosureType, want.enclosureType) << c.item;
        EXPECT_EQ(got.hasEnclosure, want.hasEnclosure) << c.item;
        EXPECT_EQ(got.pubDate, want.pubDate) << c.item;
    }
}

// The headlines of the document's items, in order.
std::string headlines(const TXmlDocumentPtr& doc) {
    std::string out;
    for (const TXmlNodePtr& item : itemsOf(doc).nodes())
        out += QString::fromStdU16String(headlineOf(item)).toStdString() + ",";
    return out;
}

TEST(TopicItem, ANewTopicGoesRightAfterTheSelectedOneOrAtTheEnd) {
    const std::string three = "<item><title>a</title></item><item><title>b</title></item>"
                              "<item><title>c</title></item>";
    const struct {
        const char* what;
        std::string items;
        std::optional<long> after;
        std::string expected;
    } cases[] = {
        {"after the first", three, 0, "a,N,b,c,"},
        {"after the last", three, 2, "a,b,c,N,"},
        {"channel node selected", three, std::nullopt, "a,b,c,N,"},
        {"no such topic", three, 7, "a,b,c,N,"},
        {"empty channel", "", std::nullopt, "N,"},
    };
    for (const auto& c : cases) {
        const auto model = loadFeed(feedWith("", c.items));
        const TXmlDocumentPtr& doc = model->document();
        insertTopic(doc, buildTopicItem(doc, headlineOnly("N")), c.after);
        EXPECT_EQ(headlines(doc), c.expected) << c.what;
        EXPECT_EQ(parentOf(itemsOf(doc).item(0)), channelOf(doc)) << c.what;
    }
}

TEST(TopicItem, ATopicAddedInASecondChannelStaysBesideItsNeighbour) {
    const auto model =
        loadFeed("<rss><channel><title>1</title><item><title>a</title></item></channel>"
                 "<channel><title>2</title><item><title>b</title></item></channel></rss>");
    const TXmlDocumentPtr& doc = model->document();
    insertTopic(doc, buildTopicItem(doc, headlineOnly("N")), 1);
    EXPECT_EQ(headlines(doc), "a,b,N,");
    EXPECT_EQ(textOf(firstChildOf(parentOf(itemsOf(doc).item(2)))), u"2");
}

TEST(TopicItem, SavingOverATopicReplacesTheItemTheTreeShowed) {
    // Items nested elsewhere shift the channel's own count; the ordinal does not.
    const auto model =
        loadFeed("<rss><channel><title>1</title><item><title>a</title><x><item><title>n</title>"
                 "</item></x></item><item><title>b</title></item></channel></rss>");
    const TXmlDocumentPtr& doc = model->document();
    EXPECT_TRUE(replaceTopic(doc, 2, buildTopicItem(doc, headlineOnly("B2"))));
    EXPECT_EQ(headlines(doc), "a,n,B2,");
    EXPECT_FALSE(replaceTopic(doc, 3, buildTopicItem(doc, headlineOnly("none"))));
    EXPECT_EQ(headlines(doc), "a,n,B2,");
}

TEST(TopicItem, AFeedWithoutChannelTakesNoTopic) {
    const auto model = loadFeed("<rss><item><title>a</title></item></rss>");
    const TXmlDocumentPtr& doc = model->document();
    EXPECT_THROW(insertTopic(doc, buildTopicItem(doc, headlineOnly("N")), 0), std::runtime_error);
    EXPECT_EQ(headlines(doc), "a,");
}

} // namespace
