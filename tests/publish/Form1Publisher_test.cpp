// The Publish page in the real window: the local and FTP targets, the prompts
// for what is missing, the list of FTP locations, and what Publish leaves in
// the settings, on the target and in LastPublishOutcome. FTP publications go
// to the FTP server from Debian on 127.0.0.1.
#include "editing/EditingForm.h"
#include "xml/FtpTestServer.h"

#include <QAbstractItemView>
#include <QPushButton>
#include <QToolButton>

#include <filesystem>

namespace {

const QString Publish = QStringLiteral("Publish");

QByteArray topic(const QByteArray& title) {
    return "<item><title>" + title + "</title><link>http://example.invalid/" + title +
           "</link></item>";
}

} // namespace

class Form1PublisherTest : public EditingFormFixture {
protected:
    // Starts on news.xml with two topics and one without a headline, the
    // target chosen as location says ("LocalRadio" or "FTPRadio"), on the
    // Publish page.
    void startPublishing(const QString& location, const QString& localPath = {}) {
        TIniFile ini = settings();
        ini.writeString(Publish, QStringLiteral("Location"), location);
        ini.writeString(Publish, QStringLiteral("LocalPath"), localPath);
        startOn(QStringLiteral("news.xml"), feed("Feed", topic("one") + topic("") + topic("two")));
        showPage(form->PublishPage);
    }

    void fillFtp(const QString& location, const QString& user, const QString& password) {
        form->FTPComboBox->setEditText(location);
        form->UserIDField->setText(user);
        form->PasswordField->setText(password);
    }

    QString setting(const QString& section, const QString& key) const {
        return settings().readString(section, key, QStringLiteral("<none>"));
    }

    bool loginShown() const {
        return !form->UserIDField->isHidden() && !form->PasswordField->isHidden() &&
               !form->UserIDLabel->isHidden() && !form->PasswordLabel->isHidden();
    }
    bool loginHidden() const {
        return form->UserIDField->isHidden() && form->PasswordField->isHidden() &&
               form->UserIDLabel->isHidden() && form->PasswordLabel->isHidden();
    }

    int topicsIn(const QString& path) { return itemsOf(loaded(path)->document()).length(); }

    TPublishResult result() const {
        EXPECT_TRUE(form->LastPublishOutcome.has_value());
        return form->LastPublishOutcome ? form->LastPublishOutcome->Result
                                        : TPublishResult::Incomplete;
    }
    QStringList outcomeLines() const {
        return form->LastPublishOutcome ? form->LastPublishOutcome->Lines : QStringList{"<none>"};
    }
};

TEST_F(Form1PublisherTest, LocalPublishingWritesTheFeedFileWithoutItsBlankTopics) {
    const QString dir = homePath(QStringLiteral("site"));
    QDir().mkpath(dir);
    for (const QString& chosen : {dir, dir + u'/'}) {
        SCOPED_TRACE(chosen.toStdString());
        startPublishing(QStringLiteral("LocalRadio"), chosen);
        EXPECT_EQ(form->LocalLabel->text(), chosen);
        form->FileNameField->setText(QStringLiteral("out.xml"));
        click(form->PublishBtn);

        const QString published = dir + QStringLiteral("/out.xml");
        EXPECT_EQ(topicsIn(feedPath()), 2);
        EXPECT_EQ(readFile(published), readFile(feedPath()));
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
        EXPECT_EQ(result(), TPublishResult::Published);
        EXPECT_EQ(form->LastPublishOutcome->Destination, published);
        EXPECT_TRUE(form->isVisible());
        QFile::remove(published);
    }
}

TEST_F(Form1PublisherTest, PublishWritesTheSettingsWhateverFollows) {
    startPublishing(QStringLiteral("LocalRadio"));
    form->FTPComboBox->setEditText(QStringLiteral("ftp.example.com/feeds"));
    form->UserIDField->setText(QStringLiteral("me"));
    form->PasswordField->setText(QStringLiteral("pw"));
    form->FileNameField->setText(QStringLiteral("out.xml"));
    form->LocalLabel2->setText(QStringLiteral("/nowhere/shown"));
    click(form->PublishBtn);
    EXPECT_EQ(dialogs.messages, QStringList{"Please select a Local Directory."});

    EXPECT_EQ(setting(Publish, "LocalPath"), "/nowhere/shown");
    EXPECT_EQ(setting(Publish, "FTPPath"), "ftp.example.com/feeds");
    EXPECT_EQ(setting(Publish, "FileName"), "out.xml");
    EXPECT_EQ(setting(feedPath(), "UserID"), "me");
    EXPECT_EQ(setting(feedPath(), "Password"), "pw");
    EXPECT_EQ(setting(feedPath(), "FileName"), "out.xml");

    // An empty name is kept for the feed, while "Publish" keeps the last one published.
    form->FileNameField->clear();
    click(form->PublishBtn);
    EXPECT_EQ(setting(feedPath(), "FileName"), "");
    EXPECT_EQ(setting(Publish, "FileName"), "out.xml");
}

TEST_F(Form1PublisherTest, MissingNameOrDirectoryStopsWithItsMessage) {
    const struct {
        const char* name;
        QString fileName;
        QString localPath;
        QString message;
    } cases[] = {
        {"no file name", "", homePath(),
         R"(Please enter a file name in the "Name of RSS File" field.)"},
        {"no directory", "out.xml", "", "Please select a Local Directory."},
    };
    for (const auto& c : cases) {
        for (const bool unattended : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (unattended ? ", unattended" : ""));
            dialogs.messages.clear();
            startPublishing(QStringLiteral("LocalRadio"), c.localPath);
            form->UnattendedRun = unattended;
            form->FileNameField->setText(c.fileName);
            click(form->PublishBtn);

            EXPECT_EQ(dialogs.messages, unattended ? QStringList{} : QStringList{c.message});
            EXPECT_EQ(result(), TPublishResult::Incomplete);
            EXPECT_EQ(outcomeLines(), QStringList{c.message});
            EXPECT_TRUE(form->isVisible());
            EXPECT_EQ(topicsIn(feedPath()), 2) << "blank topics go first";
            EXPECT_EQ(QDir(homePath()).entryList({"out.xml"}), QStringList{});
        }
    }
}

TEST_F(Form1PublisherTest, AFailedLocalWriteIsReportedAndNeverClosesTheRun) {
    for (const bool unattended : {false, true}) {
        SCOPED_TRACE(unattended ? "unattended" : "interactive");
        dialogs.messages.clear();
        startPublishing(QStringLiteral("LocalRadio"), homePath(QStringLiteral("gone")));
        form->UnattendedRun = unattended;
        form->FileNameField->setText(QStringLiteral("out.xml"));
        click(form->PublishBtn);

        const QString message =
            QStringLiteral("Cannot create file ") + homePath(QStringLiteral("gone/out.xml")) + '.';
        EXPECT_EQ(dialogs.messages, unattended ? QStringList{} : QStringList{message});
        EXPECT_EQ(result(), TPublishResult::Failed);
        EXPECT_EQ(outcomeLines(), QStringList{message});
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(Form1PublisherTest, UnattendedLocalPublishingShowsNothingAndClosesTheWindow) {
    startPublishing(QStringLiteral("LocalRadio"), homePath());
    form->UnattendedRun = true;
    form->FileNameField->setText(QStringLiteral("out.xml"));
    form->PublishBtnClick();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(readFile(homePath(QStringLiteral("out.xml"))), readFile(feedPath()));
    EXPECT_TRUE(form->LastPublishOutcome->published());
}

TEST_F(Form1PublisherTest, PublishToLocalWithoutADirectoryOpensTheFolderDialogAtOnce) {
    startPublishing(QStringLiteral("FTPRadio"));
    EXPECT_TRUE(loginShown());

    click(form->LocalRadio); // the dialog is cancelled
    ASSERT_EQ(dialogs.folderRequests.size(), 1);
    const FolderDialogRequest& request = dialogs.folderRequests[0];
    EXPECT_EQ(request.title, "Select directory to save file to.");
    EXPECT_EQ(request.statusText, "Once directory is selected, click OK.");
    EXPECT_EQ(request.initialDirectory, form->ProgramDirectory);
    EXPECT_EQ(form->LocalLabel->text(), "");
    EXPECT_TRUE(loginHidden());
    EXPECT_EQ(setting(Publish, "Location"), "LocalRadio");
    EXPECT_EQ(setting(Publish, "LocalPath"), "");

    // Chosen from the button, the directory becomes the target; the dialog
    // still starts at the program directory.
    dialogs.folderAnswers = {QStringLiteral("/srv/www")};
    click(form->SelectLocalBtn);
    EXPECT_EQ(dialogs.folderRequests.size(), 2);
    EXPECT_EQ(dialogs.folderRequests[1].initialDirectory, form->ProgramDirectory);
    EXPECT_EQ(form->LocalLabel->text(), "/srv/www");
    EXPECT_EQ(form->LocalLabel2->text(), "/srv/www");
    EXPECT_EQ(setting(Publish, "LocalPath"), "/srv/www");

    // With a directory known, choosing Local asks for nothing.
    click(form->FTPRadio);
    dialogs.messages.clear();
    click(form->LocalRadio);
    EXPECT_EQ(dialogs.folderRequests.size(), 2);
    EXPECT_EQ(form->LocalLabel->text(), "/srv/www");
}

TEST_F(Form1PublisherTest, ADirectoryChosenWhilePublishingByFtpLeavesTheTargetAlone) {
    startPublishing(QStringLiteral("FTPRadio"));
    fillFtp(QStringLiteral("ftp.example.com/feeds"), QStringLiteral("me"), QStringLiteral("pw"));
    click(form->FTPRadio);
    dialogs.folderAnswers = {QStringLiteral("/srv/www")};
    click(form->SelectLocalBtn);
    EXPECT_EQ(form->LocalLabel->text(), "ftp.example.com/feeds");
    EXPECT_EQ(form->LocalLabel2->text(), "/srv/www");
}

TEST_F(Form1PublisherTest, PublishToFtpAsksForWhatIsMissing) {
    const QString add = QStringLiteral("Please add an FTP Site.");
    const QString select = QStringLiteral("Please select an FTP Site.");
    const QString both = QStringLiteral("Enter your FTP User ID in the User ID field and Enter "
                                        "your FTP Password in the Password field");
    const QString user = QStringLiteral("Enter your FTP User ID in the User ID field");
    const QString end = QStringLiteral("Then:\nPress the Publish Button.");
    const struct {
        const char* name;
        QStringList sites;
        QString location, userId, password;
        std::optional<QString> added; // the answer to the add prompt, when one is expected
        QStringList messages;
        bool dropsDown;
    } cases[] = {
        {"everything filled in", {}, "host/feeds", "me", "pw", {}, {}, false},
        {"both login fields empty", {}, "host/feeds", "", "", {}, {both + '\n' + end}, false},
        {"no location known, login filled",
         {},
         "",
         "me",
         "pw",
         std::nullopt,
         {add + '\n' + end},
         false},
        {"no location known, login empty, one added",
         {},
         "",
         "",
         "",
         QString("host/new"),
         {add + "\nThen:\n" + both + '\n' + end, select + "\nThen:\n" + both + '\n' + end},
         true},
        {"none chosen, user ID empty",
         {"host/a", "host/b"},
         "",
         "",
         "pw",
         {},
         {select + "\nThen:\n" + user + '\n' + end},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.messages.clear();
        dialogs.prompts.clear();
        QFile::remove(homePath(QStringLiteral("ftpsites.txt")));
        if (!c.sites.isEmpty())
            writeFile(homePath(QStringLiteral("ftpsites.txt")), c.sites.join("\r\n").toUtf8());
        startPublishing(QStringLiteral("LocalRadio"), homePath());
        EXPECT_TRUE(loginHidden());
        fillFtp(c.location, c.userId, c.password);
        const bool prompts = c.sites.isEmpty() && c.location.isEmpty();
        if (c.added)
            dialogs.promptAnswers = {c.added};

        click(form->FTPRadio);
        EXPECT_EQ(dialogs.messages, c.messages);
        EXPECT_EQ(dialogs.prompts, prompts ? QStringList{"FTP Location"} : QStringList{});
        EXPECT_EQ(form->FTPComboBox->view()->isVisible(), c.dropsDown);
        form->FTPComboBox->hidePopup();
        EXPECT_TRUE(loginShown());
        EXPECT_EQ(setting(Publish, "Location"), "FTPRadio");
        EXPECT_EQ(form->LocalLabel->text(), c.added.value_or(c.location));
    }
}

TEST_F(Form1PublisherTest, TheTargetButtonsDoNothingAwayFromThePublishPage) {
    startPublishing(QStringLiteral("LocalRadio"), homePath());
    showPage(form->ChannelPage);
    form->LocalRadioClick(form->FTPRadio);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.prompts.isEmpty());
    EXPECT_TRUE(loginHidden());
    EXPECT_EQ(setting(Publish, "Location"), "LocalRadio");
}

TEST_F(Form1PublisherTest, AddingALocationWritesTheWholeListWithCrLf) {
    writeFile(homePath(QStringLiteral("ftpsites.txt")), "host/a\nhost/b");
    startPublishing(QStringLiteral("FTPRadio"));
    ASSERT_EQ(form->FTPComboBox->count(), 2);

    click(form->AddFTPBtn); // cancelled
    EXPECT_EQ(dialogs.prompts, QStringList{"FTP Location"});
    EXPECT_EQ(dialogs.promptQuestions,
              QStringList{"Enter name of FTP server and upload directory."});
    ASSERT_EQ(dialogs.promptInitialTexts.size(), 1);
    EXPECT_TRUE(dialogs.promptInitialTexts[0].endsWith("/upload directory"));
    EXPECT_EQ(readFile(homePath(QStringLiteral("ftpsites.txt"))), "host/a\nhost/b");
    EXPECT_EQ(form->FTPComboBox->count(), 2);

    dialogs.promptAnswers = {QStringLiteral("host/c"), QStringLiteral(""),
                             QStringLiteral("host/a")};
    click(form->AddFTPBtn);
    EXPECT_EQ(readFile(homePath(QStringLiteral("ftpsites.txt"))), "host/a\r\nhost/b\r\nhost/c\r\n");
    EXPECT_EQ(form->FTPComboBox->currentText(), "host/c");
    EXPECT_EQ(form->LocalLabel->text(), "host/c");
    // Empty and repeated locations are kept as entered.
    click(form->AddFTPBtn);
    click(form->AddFTPBtn);
    EXPECT_EQ(readFile(homePath(QStringLiteral("ftpsites.txt"))),
              "host/a\r\nhost/b\r\nhost/c\r\n\r\nhost/a\r\n");
    EXPECT_EQ(form->FTPComboBox->count(), 5);

    // While publishing locally the target stays the directory.
    form->LocalRadio->setChecked(true);
    form->LocalLabel->setText(QStringLiteral("/srv/www"));
    dialogs.promptAnswers = {QStringLiteral("host/d")};
    click(form->AddFTPBtn);
    EXPECT_EQ(form->FTPComboBox->currentText(), "host/d");
    EXPECT_EQ(form->LocalLabel->text(), "/srv/www");
}

TEST_F(Form1PublisherTest, AListThatCannotBeWrittenIsReportedAndLeftAsItWas) {
    startPublishing(QStringLiteral("FTPRadio"));
    // A directory in the way of the list file.
    QDir().mkpath(homePath(QStringLiteral("ftpsites.txt")));
    dialogs.promptAnswers = {QStringLiteral("host/c")};
    click(form->AddFTPBtn);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith("Cannot create file "));
    EXPECT_EQ(form->FTPComboBox->count(), 0);
}

TEST_F(Form1PublisherTest, PickingALocationFromTheListMakesItTheTarget) {
    writeFile(homePath(QStringLiteral("ftpsites.txt")), "host/a\r\nhost/b\r\n");
    for (const bool ftp : {true, false}) {
        SCOPED_TRACE(ftp ? "FTP" : "local");
        startPublishing(ftp ? QStringLiteral("FTPRadio") : QStringLiteral("LocalRadio"),
                        QStringLiteral("/srv/www"));
        form->FTPComboBox->showPopup();
        QAbstractItemView* list = form->FTPComboBox->view();
        ASSERT_TRUE(QTest::qWaitFor([list] { return list->isVisible(); }));
        const QRect b = list->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, b.center());
        ASSERT_TRUE(QTest::qWaitFor([list] { return !list->isVisible(); }));
        EXPECT_EQ(form->FTPComboBox->currentText(), "host/b");
        EXPECT_EQ(form->LocalLabel->text(), ftp ? "host/b" : "/srv/www");
    }
    // Text typed into the box is used by Publish, but is not shown as the target.
    form->FTPRadio->setChecked(true);
    form->LocalLabel->setText(QStringLiteral("host/b"));
    enter(form->FTPComboBox);
    selectAll();
    type(QStringLiteral("x/y"));
    EXPECT_EQ(form->FTPComboBox->currentText(), "x/y");
    EXPECT_EQ(form->LocalLabel->text(), "host/b");
}

class Form1PublisherFtpTest : public Form1PublisherTest {
protected:
    ftptest::FtpTestServer server;

    void SetUp() override {
        Form1PublisherTest::SetUp();
        ASSERT_TRUE(server.start());
        std::filesystem::create_directories(server.root() / "feeds");
    }

    QString host() const { return QString::fromStdString(server.host()); }

    void publishTo(const QString& location, const QString& password) {
        startPublishing(QStringLiteral("FTPRadio"));
        fillFtp(location, QString::fromStdString(server.user), password);
        form->FileNameField->setText(QStringLiteral("news.xml"));
        click(form->PublishBtn);
    }
};

TEST_F(Form1PublisherFtpTest, TheFeedFileGoesToTheLocationsDirectory) {
    for (const QString& location : {host() + "/feeds", host() + "/feeds/"}) {
        SCOPED_TRACE(location.toStdString());
        dialogs.messages.clear();
        std::filesystem::remove(server.root() / "feeds/news.xml");
        publishTo(location, QString::fromStdString(server.password));
        EXPECT_EQ(dialogs.messages, QStringList{"Your Feed has been published."});
        EXPECT_EQ(topicsIn(feedPath()), 2);
        EXPECT_EQ(QByteArray::fromStdString(server.read("feeds/news.xml")), readFile(feedPath()));
        EXPECT_EQ(result(), TPublishResult::Published);
        EXPECT_EQ(form->LastPublishOutcome->Destination, host() + "/feeds/news.xml");
        EXPECT_EQ(outcomeLines(), QStringList{"Your Feed has been published."});
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(Form1PublisherFtpTest, AWrongPasswordLeavesThePublishedFeedAsItWas) {
    server.write("feeds/news.xml", "the feed as published before");
    publishTo(host() + "/feeds", QStringLiteral("wrong"));
    EXPECT_EQ(dialogs.messages, QStringList{"Unable to publish Feed.  Check FTP settings."});
    EXPECT_EQ(server.read("feeds/news.xml"), "the feed as published before");
    EXPECT_EQ(result(), TPublishResult::Failed);
    EXPECT_EQ(outcomeLines(), (QStringList{"Unable to publish Feed.  Check FTP settings.",
                                           "Unable to make Internet connection"}));
}

TEST_F(Form1PublisherFtpTest, AMissingDirectoryStoresTheFeedInTheLoginDirectory) {
    publishTo(host() + "/nowhere", QString::fromStdString(server.password));
    EXPECT_EQ(dialogs.messages, QStringList{"Your Feed has been published."});
    EXPECT_EQ(QByteArray::fromStdString(server.read("news.xml")), readFile(feedPath()));
    EXPECT_EQ(outcomeLines(),
              (QStringList{"Your Feed has been published.", "Invalid ftp directory"}));
}

TEST_F(Form1PublisherFtpTest, IncompleteDetailsPromptInsteadOfPublishing) {
    publishTo(host() + "/feeds", QString());
    EXPECT_EQ(dialogs.messages, QStringList{"Enter your FTP Password in the Password field\n"
                                            "Then:\nPress the Publish Button."});
    EXPECT_EQ(server.names("feeds"), std::vector<std::string>{});
    EXPECT_EQ(result(), TPublishResult::Incomplete);
}

TEST_F(Form1PublisherFtpTest, AnUnattendedRunShowsNothingAndClosesAfterTrying) {
    const struct {
        const char* name;
        QString password;
        TPublishResult result;
        bool closes;
    } cases[] = {
        {"published", QString::fromStdString(server.password), TPublishResult::Published, true},
        {"refused", "wrong", TPublishResult::Failed, true},
        {"no password", "", TPublishResult::Incomplete, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startPublishing(QStringLiteral("FTPRadio"));
        form->UnattendedRun = true;
        fillFtp(host() + "/feeds", QString::fromStdString(server.user), c.password);
        form->FileNameField->setText(QStringLiteral("news.xml"));
        form->PublishBtnClick();
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'|').toStdString();
        EXPECT_TRUE(dialogs.prompts.isEmpty());
        EXPECT_FALSE(form->FTPComboBox->view()->isVisible());
        EXPECT_EQ(result(), c.result);
        EXPECT_FALSE(outcomeLines().isEmpty());
        EXPECT_EQ(form->isVisible(), !c.closes);
    }
}

// A feed with an error goes out only when the user says so; warnings alone
// (these topics have no guid) never ask.
TEST_F(Form1PublisherTest, ErrorsOfTheFeedCheckAskBeforePublishing) {
    const QString dir = homePath(QStringLiteral("site"));
    QDir().mkpath(dir);
    const QString published = dir + QStringLiteral("/out.xml");
    const struct {
        const char* name;
        QByteArray items;
        std::deque<bool> answers;
        int questions;
        bool publishes;
    } cases[] = {
        {"an error, then No", topic("one") + "<item><title>Dated</title><pubDate>7/12/2026"
                              "</pubDate></item>", {false}, 1, false},
        {"an error, then Yes", topic("one") + "<item><title>Dated</title><pubDate>7/12/2026"
                               "</pubDate></item>", {true}, 1, true},
        {"warnings only", topic("one") + topic("two"), {}, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(published);
        TIniFile ini = settings();
        ini.writeString(Publish, QStringLiteral("Location"), QStringLiteral("LocalRadio"));
        ini.writeString(Publish, QStringLiteral("LocalPath"), dir);
        startOn(QStringLiteral("news.xml"), feed("Feed", c.items));
        showPage(form->PublishPage);
        form->FileNameField->setText(QStringLiteral("out.xml"));
        dialogs.yesNoAnswers = c.answers;
        const qsizetype listsBefore = dialogs.findingLists.size();
        click(form->PublishBtn);

        EXPECT_EQ(dialogs.findingLists.size() - listsBefore, c.questions);
        EXPECT_TRUE(dialogs.yesNoAnswers.empty());
        EXPECT_EQ(QFile::exists(published), c.publishes);
        EXPECT_EQ(result(), c.publishes ? TPublishResult::Published : TPublishResult::Failed);
        if (c.publishes) {
            EXPECT_EQ(readFile(published), readFile(feedPath()));
        }
    }
}
