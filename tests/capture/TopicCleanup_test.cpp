#include "capture/TopicCleanup.h"
#include "feed/FeedLookups.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

std::unique_ptr<TXmlObjModel> load(const std::string& xml) {
    auto model = std::make_unique<TXmlObjModel>();
    model->setFormattedOutput(false);
    EXPECT_TRUE(model->loadFromMemory(xml.data(), xml.size())) << xml;
    return model;
}

std::string markup(const TXmlNodePtr& node) {
    return node ? QString::fromStdU16String(xmlText(*node)).toStdString() : "<null>";
}

std::string feed(const std::string& items) {
    return "<rss version=\"2.0\"><channel><title>C</title>" + items + "</channel></rss>";
}

std::string item(const std::string& title) {
    return "<item><title>" + title + "</title><link>l</link></item>";
}

const std::string blank = "<item><title/><link/><description/><author/>"
                          "<enclosure length=\"\" type=\"\" url=\"\"/><pubDate/></item>";

TEST(TopicCleanup, TheBlankItemHasEmptyFieldsAndAnEmptyEnclosure) {
    const auto model = load(feed(""));
    EXPECT_EQ(markup(makeBlankItem(model->document())), blank);
}

TEST(TopicCleanup, EachPassLeavesTheItemsItShould) {
    using Pass = std::function<void(const TXmlDocumentPtr&)>;
    const Pass clear = clearTopicList;
    const Pass blankLast = [](const TXmlDocumentPtr& d) { blankItem(d); };
    const Pass removeBlank = [](const TXmlDocumentPtr& d) { removeBlankHeadlines(d); };
    const std::string five = item("1") + item("2") + item("3") + item("4") + item("5");
    const struct {
        const char* what;
        Pass pass;
        std::string before;
        std::string after;
    } cases[] = {
        {"clearing five leaves a blank in the fifth's place", clear,
         "<title>C</title><x/>" + five + "<y/>", "<title>C</title><x/>" + blank + "<y/>"},
        {"clearing one", clear, "<title>C</title>" + item("1"), "<title>C</title>" + blank},
        {"clearing none appends a blank", clear, "<title>C</title>", "<title>C</title>" + blank},
        {"clearing items of a channel opened by a comment", clear,
         "<!-- c --><title>C</title>" + item("1") + item("2"),
         "<!-- c --><title>C</title>" + blank},
        {"blanking the last of three", blankLast,
         "<title>C</title>" + item("1") + item("2") + item("3"),
         "<title>C</title>" + item("1") + item("2") + blank},
        {"blanking in a feed without items", blankLast, "<title>C</title>",
         "<title>C</title>" + blank},
        {"all blank: the last survives", removeBlank,
         "<title>C</title>" + item("") + item("") + item(""),
         "<title>C</title><item><title/><link>l</link></item>"},
        {"spaces in CDATA are a headline, an empty title is not", removeBlank,
         "<title>C</title><item><title><![CDATA[  ]]></title></item><item><title></title>"
         "</item><item><title>x</title></item>",
         "<title>C</title><item><title><![CDATA[  ]]></title></item><item><title>x</title>"
         "</item>"},
        {"the first child decides, whatever it is", removeBlank,
         "<title>C</title><item><link/><title>T</title></item><item><link>k</link></item>",
         "<title>C</title><item><link>k</link></item>"},
        {"an item without children has no headline", removeBlank,
         "<title>C</title><item/>" + item("a"), "<title>C</title>" + item("a")},
        {"nothing to remove", removeBlank, "<title>C</title>" + item("a") + item("b"),
         "<title>C</title>" + item("a") + item("b")},
    };
    for (const auto& c : cases) {
        const auto model = load("<rss version=\"2.0\"><channel>" + c.before + "</channel></rss>");
        c.pass(model->document());
        EXPECT_EQ(markup(channelOf(model->document())), "<channel>" + c.after + "</channel>")
            << c.what;
    }
}

TEST(TopicCleanup, ItemsOutsideTheFirstChannelAreClearedToo) {
    const auto model =
        load("<rss><channel><title>1</title>" + item("a") + "</channel><channel><title>2</title>" +
             item("b") + item("") + "</channel></rss>");
    const TXmlDocumentPtr& doc = model->document();
    EXPECT_EQ(removeBlankHeadlines(doc), 1);
    clearTopicList(doc);
    EXPECT_EQ(markup(doc->documentElement()),
              "<rss><channel><title>1</title></channel><channel><title>2</title>" + blank +
                  "</channel></rss>");
}

TEST(TopicCleanup, NestedItemsNeverLeaveTheFeedWithoutAnItem) {
    // Removing the blank outer item would take the only other item with it.
    const auto nested = load(feed("<item><title></title><x>" + item("inner") + "</x></item>"));
    EXPECT_EQ(removeBlankHeadlines(nested->document()), 0);
    EXPECT_EQ(itemsOf(nested->document()).length(), 2);

    const auto outer =
        load(feed("<item><title></title><x>" + item("") + "</x></item>" + item("keep")));
    EXPECT_EQ(removeBlankHeadlines(outer->document()), 2);
    EXPECT_EQ(markup(channelOf(outer->document())),
              "<channel><title>C</title>" + item("keep") + "</channel>");

    // The last item stands inside the first and goes with it.
    const auto last = load(feed("<item><title>a</title><x>" + item("b") + "</x></item>"));
    clearTopicList(last->document());
    EXPECT_EQ(markup(channelOf(last->document())),
              "<channel><title>C</title>" + blank + "</channel>");
}

TEST(TopicCleanup, AFeedWithoutChannelOrItemsIsRefused) {
    const auto model = load("<rss><title>x</title></rss>");
    EXPECT_THROW(clearTopicList(model->document()), std::runtime_error);
    EXPECT_THROW(blankItem(model->document()), std::runtime_error);
    EXPECT_EQ(removeBlankHeadlines(model->document()), 0);
    EXPECT_EQ(markup(model->document()->documentElement()), "<rss><title>x</title></rss>");
}

} // namespace
