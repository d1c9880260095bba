// The topic editor: the two states, Add, Edit, Save, Cancel, Next Topic and
// Remove, each checked in the feed and backup files the window wrote.
#include "editing/EditingForm.h"
#include "net/ScriptedServer.h"
#include "net/TestCertificates.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>

namespace {

QByteArray topic(const QByteArray& title) {
    return "<item><title>" + title + "</title><link>http://example.invalid/" + title +
           "</link></item>";
}
const QByteArray three = topic("A") + topic("B") + topic("C");
const std::string startStamp = "Sat, 14 Mar 2026 09:26:53 +0000";

} // namespace

class Form1TopicEditorTest : public EditingFormFixture {
protected:
    void startOnTopics(const QByteArray& items) {
        startOn("news.xml", feed("Feed", items));
        showPage(form->TopicsPage);
    }

    QStringList fileHeadlines(const QString& path) {
        const auto model = loaded(path);
        QStringList result;
        for (const TXmlNodePtr& item : itemsOf(model->document()).nodes())
            result << QString::fromStdU16String(headlineOf(item));
        return result;
    }
};

TEST_F(Form1TopicEditorTest, AddingWritesTheItemAfterTheSelectedTopic) {
    startOnTopics(three);
    const QByteArray before = readFile(feedPath());
    selectTopic(0);
    click(form->AddBtn);
    ASSERT_FALSE(form->InViewMode);
    EXPECT_EQ(QApplication::focusWidget(), form->QMemo);
    type("Fresh & new");
    enter(form->AMemo);
    type("line a\nline b");
    form->TopicLink->setText("http://example.invalid/f");
    form->TopicAuthor->setText("ann@example.invalid");
    click(form->SaveBtn);

    EXPECT_TRUE(form->InViewMode);
    EXPECT_EQ(readFile(backupPath()), before);
    EXPECT_EQ(fileHeadlines(feedPath()), (QStringList{"A", "Fresh & new", "B", "C"}));
    EXPECT_EQ(itemIn(feedPath(), 1),
              "<item><title><![CDATA[Fresh & new]]></title><link>http://example.invalid/f</link>"
              // Enter put the line-break tag before the break, and the break
              // is stored as three spaces.
              "<description><![CDATA[line a<br />   line b]]></description>"
              "<author>ann@example.invalid</author><pubDate>" +
                  startStamp + "</pubDate></item>");
    EXPECT_EQ(form->selectedNode(), form->channelNode()->child(1));
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("line a<br />   line b"));
}

TEST_F(Form1TopicEditorTest, ANewTopicGoesWhereTheSelectionSays) {
    const struct {
        const char* what;
        int selected; // -1: the channel node
        QStringList headlines;
        int selectedAfter; // -1: the channel node
    } cases[] = {
        {"after the last topic", 2, {"A", "B", "C", "N"}, 3},
        {"with the channel node selected", -1, {"A", "B", "C", "N"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startOnTopics(three);
        selectTopic(c.selected);
        click(form->AddBtn);
        type("N");
        click(form->SaveBtn);
        EXPECT_EQ(fileHeadlines(feedPath()), c.headlines);
        EXPECT_EQ(headlines(), c.headlines);
        EXPECT_EQ(form->selectedNode(), form->channelNode()->child(c.selectedAfter));
        form.reset();
    }
}

TEST_F(Form1TopicEditorTest, TheStatesShowTheirControls) {
    startOnTopics(three);
    selectTopic(1);
    struct Shown {
        bool viewing, left, tree, right, next, memo;
        QString qLabel;
    };
    const auto shown = [this] {
        return Shown{form->InViewMode,
                     !form->LeftPanel->isHidden(),
                     !form->QListBox->isHidden(),
                     !form->RightPanel->isHidden(),
                     !form->NextBtn->isHidden(),
                     !form->QMemo->isHidden(),
                     form->QViewLabel->text()};
    };
    const auto expect = [&](const char* step, Shown want) {
        SCOPED_TRACE(step);
        const Shown got = shown();
        EXPECT_EQ(got.viewing, want.viewing);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.tree, want.tree);
        EXPECT_EQ(got.right, want.right);
        EXPECT_EQ(got.next, want.next);
        EXPECT_EQ(got.memo, want.memo);
        if (!want.qLabel.isNull()) {
            EXPECT_EQ(got.qLabel, want.qLabel);
        }
    };
    expect("start", {true, true, true, false, true, false, QString()});
    click(form->EditBtn);
    expect("edit", {false, false, false, true, true, true, "Headline Options below."});
    EXPECT_EQ(form->QMemo->toPlainText(), QStringLiteral("B"));
    click(form->CancelBtn);
    expect("cancel", {true, true, true, false, true, false, "Headlines"});
    EXPECT_EQ(readFile(backupPath()), QByteArray());

    click(form->AddBtn);
    expect("add", {false, false, false, true, true, true, "Headline Options below."});
    const QByteArray before = readFile(feedPath());
    click(form->NextBtn);
    click(form->SaveBtn);
    expect("empty headline", {false, false, false, true, true, true, "Headline Options below."});
    EXPECT_EQ(readFile(feedPath()), before);
    type("N1");
    click(form->NextBtn);
    expect("next", {false, false, false, true, true, true, "Headline Options below."});
    type("N2");
    click(form->SaveBtn);
    expect("saved", {true, true, true, false, false, false, "Headlines"});
    EXPECT_EQ(fileHeadlines(feedPath()), (QStringList{"A", "B", "N1", "N2", "C"}));
    click(form->EditBtn);
    // Next Topic stays hidden once an added topic was saved.
    expect("edit again", {false, false, false, true, false, true, "Headline Options below."});
}

TEST_F(Form1TopicEditorTest, SavingAnEditKeepsWhatTheEditorDoesNotShow) {
    const QByteArray episode =
        "<item id=\"e1\"><title>Episode</title><link>http://example.invalid/e</link>"
        "<description><![CDATA[One   Two]]></description><itunes:duration>42:00</itunes:duration>"
        "<category domain=\"http://d/\">Talk</category><category>Second</category>"
        "<guid isPermaLink=\"false\">ep-1</guid>"
        "<enclosure url=\"http://example.invalid/e.mp3\" length=\"123456789\" "
        "type=\"audio/mpeg\"/><!-- note --><pubDate>Tue, 5 Apr 2005 14:30 PST</pubDate></item>";
    startOnTopics(topic("A") + episode);
    selectTopic(1);
    click(form->EditBtn);
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("One\nTwo"));
    EXPECT_EQ(form->EnclosureLength->text(), QStringLiteral("123456789"));
    EXPECT_FALSE(form->EnclosureLength->isHidden());
    EXPECT_EQ(form->TopicDatePicker->date(), QDate(2005, 4, 5));
    EXPECT_EQ(form->TopicTimePicker->time(), QTime(22, 30, 0));
    enter(form->QMemo);
    key(form->QMemo, Qt::Key_End);
    type("!");
    click(form->SaveBtn);
    EXPECT_EQ(itemIn(feedPath(), 1),
              "<item id=\"e1\"><title><![CDATA[Episode!]]></title>"
              "<link>http://example.invalid/e</link><description><![CDATA[One   Two]]>"
              "</description><category domain=\"http://d/\">Talk</category>"
              "<guid isPermaLink=\"false\">ep-1</guid>"
              "<enclosure length=\"123456789\" type=\"audio/mpeg\" "
              "url=\"http://example.invalid/e.mp3\"/><pubDate>Tue, 5 Apr 2005 14:30 PST</pubDate>"
              "<itunes:duration>42:00</itunes:duration><category>Second</category>"
              "<!-- note --></item>");

    // A date the user moves is written anew.
    click(form->EditBtn);
    form->TopicTimePicker->setTime(QTime(8, 0, 0));
    click(form->SaveBtn);
    EXPECT_NE(itemIn(feedPath(), 1).find("<pubDate>Tue, 05 Apr 2005 08:00:00 +0000</pubDate>"),
              std::string::npos);
}

TEST_F(Form1TopicEditorTest, AddStartsWithAnEmptyGuidAndKeepsTheOtherFields) {
    startOnTopics(topic("A") + "<item><title>G</title><link>l</link><author>au</author>"
                               "<guid isPermaLink=\"true\">http://g/</guid></item>");
    selectTopic(1);
    click(form->EditBtn);
    click(form->CancelBtn);
    click(form->AddBtn);
    EXPECT_EQ(form->TopicGUID->text(), QString());
    EXPECT_EQ(form->TopicAuthor->text(), QStringLiteral("au"));
    type("H");
    click(form->NextBtn);
    type("I");
    click(form->SaveBtn);
    for (long i : {2, 3})
        EXPECT_EQ(itemIn(feedPath(), i).find("<guid"), std::string::npos) << i;
}

TEST_F(Form1TopicEditorTest, RemoveTakesTheTopicOrBlanksTheLastOne) {
    const struct {
        const char* what;
        int selected;
        QStringList headlines;
        std::string message;
    } cases[] = {
        {"a middle topic", 1, {"A", "C"}, ""},
        {"the last topic is blanked", 2, {"A", "B", ""}, ""},
        {"the channel node",
         -1,
         {"A", "B", "C"},
         "This object cannot be removed. Click on the Publication menu to create a new "
         "Publication."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startOnTopics(three);
        const QByteArray before = readFile(feedPath());
        selectTopic(c.selected);
        click(form->RemoveBtn);
        EXPECT_EQ(fileHeadlines(feedPath()), c.headlines);
        EXPECT_EQ(headlines(), c.headlines);
        EXPECT_EQ(dialogs.messages.join('\n').toStdString(), c.message);
        if (c.message.empty()) {
            EXPECT_EQ(readFile(backupPath()), before);
            EXPECT_EQ(form->selectedNode(), form->channelNode()->child(0));
            form->UndoBtnClick();
            EXPECT_EQ(headlines(), (QStringList{"A", "B", "C"}));
        }
        form.reset();
        dialogs.messages.clear();
    }
}

TEST_F(Form1TopicEditorTest, UndoAfterSaveBringsBackTheTopicAsItWas) {
    startOnTopics(three);
    selectTopic(0);
    click(form->EditBtn);
    selectAll();
    type("Changed");
    click(form->SaveBtn);
    ASSERT_EQ(headlines(), (QStringList{"Changed", "B", "C"}));
    click(form->UndoBtn);
    EXPECT_EQ(fileHeadlines(feedPath()), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(headlines(), (QStringList{"A", "B", "C"}));
}

TEST_F(Form1TopicEditorTest, ThePromptsEditTheAttributeValues) {
    startOnTopics(three);
    selectTopic(0);
    click(form->AddBtn);
    dialogs.promptAnswers = {QStringLiteral("http://cats/"), QStringLiteral("false")};
    click(form->TopicCategoryBtn);
    click(form->TopicGUIDBtn);
    EXPECT_EQ(dialogs.prompts, (QStringList{"Domain Path", "Permanent Link"}));
    type("H");
    form->TopicCategory->setText("Cat");
    form->TopicGUID->setText("id");
    click(form->SaveBtn);
    const std::string written = itemIn(feedPath(), 1);
    EXPECT_NE(written.find("<category domain=\"http://cats/\">Cat</category>"
                           "<guid isPermaLink=\"false\">id</guid>"),
              std::string::npos)
        << written;
}

// Probing a long episode costs one round trip: the body is never read, and a
// server that announces no length gives 0, the size of an unknown length.
TEST_F(Form1TopicEditorTest, TheEnclosureProbeReadsTheHeaderAndNotTheFile) {
    using S = ScriptedServer;
    ScriptedServer server;
    server.addScript({S::send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n"
                              "Content-Length: 500000000\r\n\r\n"),
                      S::pause(50), S::send(QByteArray(1024 * 1024, 'm')), S::pause(10000)});
    server.addScript(
        {S::send("HTTP/1.0 200 OK\r\nContent-Type: audio/ogg\r\n\r\n"), S::pause(10000)});
    startOnTopics(three);
    selectTopic(0);
    click(form->AddBtn);
    form->TopicEnclosure->setText(server.url("/long.mp3"));
    click(form->TopicEnclosureBtn);
    EXPECT_EQ(form->EnclosureLength->text(), QStringLiteral("500000000"));
    EXPECT_EQ(form->HttpEnclosure.RcvdCount(), 0);
    EXPECT_EQ(form->HttpEnclosure.State(), httpReady);

    form->TopicEnclosure->setText(server.url("/unknown.ogg"));
    click(form->TopicEnclosureBtn);
    EXPECT_EQ(form->EnclosureType->text(), QStringLiteral("audio/ogg"));
    EXPECT_EQ(form->EnclosureLength->text(), QStringLiteral("0"));
}

// Podcast hosts serve their episodes over https: the probe verifies the
// server's certificate and reads the same header fields.
TEST_F(Form1TopicEditorTest, TheEnclosureProbeWorksOverHttps) {
    using S = ScriptedServer;
    ASSERT_TRUE(certificates().ok()) << certificates().error().toStdString();
    const TrustTestAuthority trust;
    const QSslConfiguration config = certificates().server(QStringLiteral("localhost"));
    ScriptedServer server(&config);
    server.addScript({S::send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n"
                              "Content-Length: 7340032\r\n\r\n"),
                      S::pause(10000)});
    startOnTopics(three);
    selectTopic(0);
    click(form->AddBtn);
    form->TopicEnclosure->setText(
        QStringLiteral("https://localhost:%1/show/episode.mp3").arg(server.port()));
    click(form->TopicEnclosureBtn);
    EXPECT_EQ(form->EnclosureType->text(), QStringLiteral("audio/mpeg"));
    EXPECT_EQ(form->EnclosureLength->text(), QStringLiteral("7340032"));
    ASSERT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.requestLine(0), "GET /show/episode.mp3 HTTP/1.0");
}

TEST_F(Form1TopicEditorTest, TheEnclosureProbeFillsTypeAndLengthFromTheHeader) {
    using S = ScriptedServer;
    ScriptedServer server;
    server.addScript({S::send("HTTP/1.0 200 OK\r\nContent-Type: Audio/MPEG\r\n"
                              "Content-Length: 4\r\n\r\nabcd"),
                      S::close()});
    startOnTopics(three);
    selectTopic(0);
    click(form->AddBtn);
    // Leaving the field empty runs no probe.
    enter(form->TopicEnclosure);
    enter(form->TopicAuthor);
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_TRUE(form->EnclosureLength->isHidden());

    enter(form->TopicEnclosure);
    type(server.url("/e.mp3"));
    enter(form->TopicAuthor);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(form->EnclosureType->text(), QStringLiteral("audio/mpeg"));
    EXPECT_EQ(form->EnclosureLength->text(), QStringLiteral("4"));
    EXPECT_FALSE(form->EnclosureLength->isHidden());
    enter(form->QMemo);
    type("H");
    click(form->SaveBtn);
    EXPECT_NE(itemIn(feedPath(), 1)
                  .find("<enclosure length=\"4\" type=\"audio/mpeg\" url=\"" +
                        server.url("/e.mp3").toStdString() + "\"/>"),
              std::string::npos)
        << itemIn(feedPath(), 1);
    EXPECT_TRUE(form->EnclosureLength->isHidden());
}
