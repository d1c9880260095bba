// Clear Topic List and the removal of topics without a headline, checked in
// the feed file the window wrote.
#include "editing/EditingForm.h"

#include <QAction>
#include <QPlainTextEdit>

namespace {

const std::string blank = "<item><title/><link/><description/><author/>"
                          "<enclosure length=\"\" type=\"\" url=\"\"/><pubDate/></item>";

QByteArray topic(const QByteArray& title) {
    return "<item><title>" + title + "</title></item>";
}

} // namespace

class Form1TopicCleanupTest : public EditingFormFixture {};

TEST_F(Form1TopicCleanupTest, ClearTopicListAsksAndLeavesOneBlankItem) {
    const QByteArray five = topic("1") + topic("2") + topic("3") + topic("4") + topic("5");
    startOn("news.xml", feed("Feed", five));
    const QByteArray before = readFile(feedPath());
    dialogs.yesNoAnswers = {false};
    form->MClearTopics->trigger();
    EXPECT_EQ(readFile(feedPath()), before);
    EXPECT_EQ(dialogs.messages,
              QStringList{"This will clear all Topics from the Topic list, do you want to "
                          "continue?"});

    dialogs.yesNoAnswers = {true};
    form->MClearTopics->trigger();
    const auto model = loaded(feedPath());
    ASSERT_EQ(itemsOf(model->document()).length(), 1);
    EXPECT_EQ(markupOf(itemsOf(model->document()).item(0)), blank);
    EXPECT_EQ(form->selectedNode(), form->channelNode()->child(0));
    EXPECT_EQ(form->CurrentTopicIndex, 0);
}

TEST_F(Form1TopicCleanupTest, BlankHeadlinesGoButTheLastItemStays) {
    startOn("news.xml", feed("Feed", topic("") + topic("a") +
                                         "<item><title><![CDATA[ ]]></title>"
                                         "</item>" +
                                         topic("")));
    form->ClearBlankHeadlinesOnly();
    const auto model = loaded(feedPath());
    ASSERT_EQ(itemsOf(model->document()).length(), 2);
    EXPECT_EQ(markupOf(itemsOf(model->document()).item(0)), "<item><title>a</title></item>");

    startOn("news.xml", feed("Feed", topic("") + topic("")));
    form->ClearBlankHeadlines();
    EXPECT_EQ(itemsOf(loaded(feedPath())->document()).length(), 1);
}
