// The feed check in the window: the Check Publication command, going from a
// finding to its topic, the check before publishing, and the feeds the
// window itself writes, which must never fail it.
#include "app/SettingsKeys.h"
#include "capture/PageServer.h"
#include "editing/EditingForm.h"
#include "feed/FeedCheck.h"
#include "feed/FeedTemplate.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <deque>

namespace {

const QByteArray goodItems = "<item><title>A</title><link>http://example.invalid/a</link>"
                             "<guid>http://example.invalid/a</guid></item>"
                             "<item><title>B</title><link>http://example.invalid/b</link>"
                             "<guid>http://example.invalid/b</guid></item>";

// An error in the channel, one in the second item, a warning in the third.
const QByteArray faultyItems =
    "<item><title>A</title><guid>http://example.invalid/a</guid></item>"
    "<item><title>B</title><guid>http://example.invalid/b</guid>"
    "<enclosure url=\"http://example.invalid/b.mp3\" length=\"-1\" type=\"audio/mpeg\"/></item>"
    "<item><title>C</title></item>";
const QByteArray faultyChannel = "<ttl>1.5</ttl>";

// Only a warning: an item without guid.
const QByteArray warnedItems = "<item><title>A</title><link>http://example.invalid/a</link></item>";

QStringList linesOf(const QList<FindingRow>& rows) {
    QStringList lines;
    for (const FindingRow& row : rows)
        lines << row.severity + u'|' + row.where;
    return lines;
}

// The findings of a feed file, one "severity: where: message" line each.
QStringList findingsInFile(const QString& path) {
    TXmlObjModel model;
    model.setReadExternalDtd(false);
    if (!model.loadFromSource(path.toStdString()))
        return {QStringLiteral("error: the file does not load")};
    QStringList lines;
    for (const FeedFinding& f : checkFeed(*model.document()))
        lines << QLatin1String(severityName(f.severity)) + QStringLiteral(": ") +
                     QString::fromStdU16String(findingPlace(f)) + QStringLiteral(": ") +
                     QString::fromStdU16String(f.message);
    return lines;
}

QStringList errorsAmong(const QStringList& findings) {
    return findings.filter(QRegularExpression(QStringLiteral("^error: ")));
}

} // namespace

class Form1FeedCheckTest : public EditingFormFixture {
protected:
    QString feedPath() const { return homePath(QStringLiteral("news.xml")); }

    void startWith(const QByteArray& items, const QByteArray& channelExtra = {}) {
        startOn(QStringLiteral("news.xml"), feed("News", items, channelExtra));
    }
};

TEST_F(Form1FeedCheckTest, TheCommandStandsAfterSaveAsInThePublicationMenu) {
    start();
    const QList<QAction*> actions = form->MProject->actions();
    const qsizetype save = actions.indexOf(form->MPSave);
    ASSERT_GE(save, 0);
    ASSERT_LT(save + 1, actions.size());
    EXPECT_EQ(actions[save + 1], form->MPCheck);
    EXPECT_EQ(form->MPCheck->text(), QStringLiteral("Check Publication"));
    EXPECT_LT(actions.indexOf(form->MPCheck), actions.indexOf(form->MPDownload));
}

TEST_F(Form1FeedCheckTest, AFeedWithoutProblemsSaysSo) {
    startWith(goodItems);
    form->MPCheck->trigger();
    EXPECT_EQ(dialogs.messages, QStringList{"No problems found."});
    EXPECT_TRUE(dialogs.findingLists.isEmpty());
}

TEST_F(Form1FeedCheckTest, ListsTheFindingsOfTheDocumentInMemory) {
    startWith(goodItems);
    // Only in memory: the check reads what would be published, not the file.
    const QByteArray faulty = feed("News", faultyItems, faultyChannel);
    ASSERT_TRUE(form->XMLObject.loadFromMemory(faulty.constData(), faulty.size()));
    form->LoadQandAData();

    form->MPCheck->trigger();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
    ASSERT_EQ(dialogs.findingLists.size(), 1);
    EXPECT_EQ(dialogs.findingTitles, QStringList{"Check Publication"});
    const QList<FindingRow>& rows = dialogs.findingLists.constFirst();
    EXPECT_EQ(linesOf(rows),
              (QStringList{"error|channel ttl", "error|item 2 \"B\" enclosure length",
                           "warning|item 3 \"C\""}));
    EXPECT_EQ(rows[0].message,
              QStringLiteral("ttl \"1.5\" is not a whole number of minutes: write it like \"60\""));
    // Nothing chosen: the window stays where it was.
    EXPECT_EQ(form->Page->currentWidget(), form->ChannelPage);
}

TEST_F(Form1FeedCheckTest, ChoosingAFindingOfAnItemSelectsThatTopic) {
    const struct {
        const char* what;
        int row;           // the finding chosen
        bool topicsPage;   // the Topics page is shown afterwards
        int selectedTopic; // -1: the selection stays as it was
    } cases[] = {
        {"an item's finding", 1, true, 1},
        {"the last item's finding", 2, true, 2},
        {"a finding of the channel", 0, false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startWith(faultyItems, faultyChannel);
        dialogs.findingAnswers = {c.row};
        form->MPCheck->trigger();
        EXPECT_EQ(form->Page->currentWidget() == form->TopicsPage, c.topicsPage);
        if (c.selectedTopic >= 0) {
            EXPECT_EQ(form->selectedNode(), form->channelNode()->child(c.selectedTopic));
            EXPECT_EQ(form->CurrentNodeData, c.selectedTopic);
            EXPECT_EQ(form->AMemo->toPlainText(), form->AListBox.value(c.selectedTopic));
            EXPECT_EQ(QApplication::focusWidget(), form->QListBox);
        }
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
        form.reset();
    }
}

TEST_F(Form1FeedCheckTest, ChoosingAFindingWhileEditingLeavesTheEditorAlone) {
    startWith(faultyItems, faultyChannel);
    showPage(form->TopicsPage);
    form->selectNode(form->channelNode()->child(0));
    click(form->EditBtn);
    ASSERT_FALSE(form->InViewMode);
    dialogs.findingAnswers = {2};
    form->MPCheck->trigger();
    EXPECT_FALSE(form->InViewMode);
    EXPECT_EQ(form->CurrentNodeData, 0);
}

TEST_F(Form1FeedCheckTest, PublishingAsksOnlyWhenTheFeedHasErrors) {
    const struct {
        const char* what;
        QByteArray items;
        QByteArray channelExtra;
        std::deque<bool> answers;
        bool allowed;
        bool asked; // the findings were listed and the question put
    } cases[] = {
        {"errors, answered Yes", faultyItems, faultyChannel, {true}, true, true},
        {"errors, answered No", faultyItems, faultyChannel, {false}, false, true},
        {"warnings alone", warnedItems, {}, {}, true, false},
        {"no findings", goodItems, {}, {}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startWith(c.items, c.channelExtra);
        dialogs.messages.clear();
        dialogs.findingLists.clear();
        dialogs.yesNoAnswers = c.answers;
        EXPECT_EQ(form->publicationCheckAllows(), c.allowed);
        EXPECT_EQ(dialogs.messages, c.asked ? QStringList{"Publish anyway?"} : QStringList());
        EXPECT_EQ(dialogs.findingLists.size(), c.asked ? 1 : 0);
        form.reset();
    }
}

TEST_F(Form1FeedCheckTest, AnUnattendedRunLogsTheFindingsAndRefusesErrors) {
    const struct {
        const char* what;
        QByteArray items;
        QByteArray channelExtra;
        bool allowed;
        QStringList lines; // after the feed file's path
    } cases[] = {
        {"errors",
         faultyItems,
         faultyChannel,
         false,
         {": error: channel ttl: ttl \"1.5\" is not a whole number of minutes: write it like "
          "\"60\"",
          ": error: item 2 \"B\" enclosure length: the enclosure length \"-1\" is not a number of "
          "bytes: write the file's size in bytes, 0 when unknown",
          ": warning: item 3 \"C\": the item has no guid: add one, so that readers can tell it "
          "from the others"}},
        {"warnings alone",
         warnedItems,
         {},
         true,
         {": warning: item 1 \"A\": the item has no guid: add one, so that readers can tell it "
          "from the others"}},
        {"no findings", goodItems, {}, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startWith(c.items, c.channelExtra);
        form->UnattendedRun = true;
        testing::internal::CaptureStderr();
        const bool allowed = form->publicationCheckAllows();
        const QString logged = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_EQ(allowed, c.allowed);
        QStringList expected;
        for (const QString& line : c.lines)
            expected << feedPath() + line;
        EXPECT_EQ(logged.split(u'\n', Qt::SkipEmptyParts), expected);
        EXPECT_TRUE(logged.isEmpty() || logged.endsWith(u'\n'));
        // Nobody is asked anything.
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
        EXPECT_TRUE(dialogs.findingLists.isEmpty());
        form.reset();
    }
}

// The feeds the window writes by itself, whatever the user did or did not
// fill in, carry no error: at worst the warnings of a feed not finished yet.
class Form1OwnFeedsCheckTest : public Form1FeedCheckTest {};

TEST_F(Form1OwnFeedsCheckTest, TheTemplateAndTheStampedStartUpFeed) {
    // No feed file yet: the start-up builds it from the template, stamps the
    // channel's dates and writes it.
    start();
    ASSERT_TRUE(QFile::exists(form->FeedFilePath));
    const QStringList stamped = findingsInFile(form->FeedFilePath);
    EXPECT_EQ(errorsAmong(stamped), QStringList()) << stamped.join(u'\n').toStdString();

    ASSERT_TRUE(form->XMLObject.loadFromMemory(NewFeedTemplate.data(), NewFeedTemplate.size()));
    form->MPCheck->trigger();
    ASSERT_EQ(dialogs.findingLists.size(), 1);
    for (const FindingRow& row : dialogs.findingLists.constFirst())
        EXPECT_EQ(row.severity, QStringLiteral("warning")) << row.where.toStdString();
}

TEST_F(Form1OwnFeedsCheckTest, TopicsAddedAndEditedInTheWindow) {
    start();
    showPage(form->TopicsPage);
    // A topic with every field the editor writes, its guid's kind never set.
    click(form->AddBtn);
    ASSERT_FALSE(form->InViewMode);
    type("First & best <news>");
    enter(form->AMemo);
    type("Some <b>bold</b> text\nand a second line");
    form->TopicLink->setText(QStringLiteral("http://example.invalid/first"));
    form->TopicAuthor->setText(QStringLiteral("ann@example.invalid (Ann)"));
    form->TopicComments->setText(QStringLiteral("http://example.invalid/first#comments"));
    form->TopicSource->setText(QStringLiteral("Elsewhere"));
    form->TopicCategory->setText(QStringLiteral("News"));
    form->TopicGUID->setText(QStringLiteral("http://example.invalid/first"));
    click(form->SaveBtn);
    ASSERT_TRUE(form->InViewMode);
    // A topic with a headline alone, then that one edited.
    click(form->AddBtn);
    type("Second");
    click(form->SaveBtn);
    click(form->EditBtn);
    ASSERT_FALSE(form->InViewMode);
    form->TopicLink->setText(QStringLiteral("https://example.invalid/second"));
    click(form->SaveBtn);
    ASSERT_TRUE(form->InViewMode);

    const QStringList findings = findingsInFile(form->FeedFilePath);
    EXPECT_EQ(errorsAmong(findings), QStringList()) << findings.join(u'\n').toStdString();
    ASSERT_GE(form->channelNode()->childCount(), 3);
}

TEST_F(Form1OwnFeedsCheckTest, TopicsCapturedFromAPage) {
    PageServer server;
    server.serve("/news/index.html",
                 {"<html><body><p><a href=\"http://news.test/one.html\">First story</a>"
                  "<a href=\"https://news.test/two?x=1&amp;y=2\">Second &amp; last</a>"
                  "<a href=\"three.html\">Relative story</a></p></body></html>"});
    startWith(goodItems);
    showPage(form->TopicsPage);
    form->CaptureSiteEdit->setText(server.url(QStringLiteral("/news/index.html")));
    QTest::mouseClick(form->AutoCaptureBtn, Qt::LeftButton);
    ASSERT_GT(form->channelNode()->childCount(), 2);

    const QStringList findings = findingsInFile(feedPath());
    EXPECT_EQ(errorsAmong(findings), QStringList()) << findings.join(u'\n').toStdString();
}
