// The Publication menu: New, Open, Save As and Exit switch the window from one
// feed file to another, with scripted file dialogs.
#include "app/SettingsKeys.h"
#include "form/FormFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>

namespace {

QByteArray topic(const QByteArray& headline, const QByteArray& synopsis = "About") {
    return "<item><title>" + headline + "</title><link>http://a/</link><description>" + synopsis +
           "</description></item>";
}

} // namespace

class FormPublicationCommandsTest : public FormFixture {
protected:
    QString newsPath;
    QByteArray newsBytes; // the open feed's file as the start-up left it

    void SetUp() override {
        FormFixture::SetUp();
        newsPath = homePath(QStringLiteral("news.xml"));
        writeFile(newsPath, feed("News", topic("Local", "Here"),
                                 "<ttl>60</ttl><skipDays><day>Monday</day></skipDays>"
                                 "<skipHours><hour>5</hour></skipHours>"));
        TIniFile ini = settings();
        ini.writeString(SettingsKeys::PublicationSection, SettingsKeys::FilePath, newsPath);
        ini.writeString(newsPath, SettingsKeys::UserID, "ann");
        ini.writeString(newsPath, SettingsKeys::Password, "secret");
        ini.writeString(newsPath, SettingsKeys::FileName, "published.xml");
        ini.writeString(newsPath, SettingsKeys::Capture, "http://capture.test/news");
        ini.writeBool(newsPath, SettingsKeys::AdvancedCapture, true);
        ini.writeString(newsPath, SettingsKeys::HeadlineTag, "headline");
        ini.writeString(newsPath, SettingsKeys::SynopsisTag, "synopsis");
        start();
        newsBytes = readFile(newsPath);
    }

    // Chooses the menu command, answering its file dialog with path (none: cancelled).
    void choose(QAction* command, const std::optional<QString>& path) {
        dialogs.fileAnswers.push_back(path);
        command->trigger();
    }

    bool scheduleCleared() const {
        for (QListWidget* list : {form->DaysCheckListBox, form->HoursCheckListBox})
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->checkState() != Qt::Unchecked)
                    return false;
        return form->TTLSpin->value() == 0;
    }

    void expectFeedFile(const QString& path) const {
        EXPECT_EQ(form->FeedFilePath, path);
        EXPECT_EQ(form->BasePath, path.chopped(4));
        EXPECT_EQ(form->BackupFilePath, path.chopped(4) + ".bak");
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillo - ") + path);
        EXPECT_EQ(storedFeedPath(), path);
    }

    void expectNewsStillOpen() const {
        expectFeedFile(newsPath);
        EXPECT_EQ(headlines(), QStringList{"Local"});
        EXPECT_EQ(readFile(newsPath), newsBytes);
        EXPECT_EQ(form->UserIDField->text(), "ann");
    }

    void expectDialog(int index, const QString& title, const QString& filter,
                      const QString& fileName, const QString& suffix) const {
        ASSERT_GT(dialogs.fileRequests.size(), index);
        const FileDialogRequest& r = dialogs.fileRequests.at(index);
        EXPECT_EQ(r.title, title);
        EXPECT_EQ(r.filter, filter);
        EXPECT_EQ(QDir(r.directory), QDir(home.path()));
        EXPECT_EQ(r.fileName, fileName);
        EXPECT_EQ(r.defaultSuffix, suffix);
    }
};

TEST_F(FormPublicationCommandsTest, NewStartsATemplateFeedUnderANewOrAnExistingName) {
    ASSERT_TRUE(form->HoursCheckListBox->item(5)->checkState() == Qt::Checked);
    const QString existing = homePath("old.xml");
    writeFile(existing, feed("Old", topic("Old topic")));
    QByteArray templateBytes;
    for (const QString& path : {homePath("fresh.xml"), existing}) {
        SCOPED_TRACE(path.toStdString());
        const QString previous = form->FeedFilePath;
        const QByteArray previousBytes = readFile(previous);
        form->Advanced->setChecked(true);
        choose(form->MPNew, path);

        expectDialog(dialogs.fileRequests.size() - 1, "Enter New Publication Name",
                     "RSS Files (*.xml)", QFileInfo(previous).fileName(), "xml");
        expectFeedFile(path);
        EXPECT_EQ(form->channelNode()->text(0), "Channel Title");
        EXPECT_EQ(headlines(), QStringList{QString()});
        EXPECT_EQ(form->selectedNode(), form->channelNode()->child(0));
        const QByteArray written = readFile(path);
        EXPECT_TRUE(written.contains("<title>Channel Title</title>")) << written.toStdString();
        EXPECT_FALSE(written.contains("pubDate")) << written.toStdString();
        EXPECT_FALSE(written.contains("lastBuildDate")) << written.toStdString();
        if (templateBytes.isEmpty())
            templateBytes = written;
        EXPECT_EQ(written, templateBytes);
        EXPECT_EQ(readFile(previous), previousBytes);
        EXPECT_FALSE(form->Advanced->isChecked());
        EXPECT_EQ(form->CaptureSiteEdit->text(), "");
        EXPECT_EQ(form->FileNameField->text(), QFileInfo(path).fileName());
        // The login of the previous feed stays, for its next publication.
        EXPECT_EQ(form->UserIDField->text(), "ann");
        EXPECT_EQ(form->PasswordField->text(), "secret");
        EXPECT_EQ(settings().readString(path, SettingsKeys::UserID, "none"), "none");
        EXPECT_TRUE(scheduleCleared());
    }
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
}

TEST_F(FormPublicationCommandsTest, ACancelledDialogChangesNothing) {
    const QByteArray ini = readFile(homePath("quillo.ini"));
    const QStringList files = QDir(home.path()).entryList(QDir::Files);
    for (QAction* command : {form->MPNew, form->MPOpen, form->MPSave}) {
        SCOPED_TRACE(command->text().toStdString());
        choose(command, std::nullopt);
        expectNewsStillOpen();
        EXPECT_EQ(readFile(homePath("quillo.ini")), ini);
        EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), files);
        EXPECT_TRUE(form->Advanced->isChecked());
    }
    EXPECT_EQ(dialogs.fileRequests.size(), 3);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
}

TEST_F(FormPublicationCommandsTest, OpenShowsTheChosenFeedWithItsSettings) {
    const QString other = homePath("other.xml");
    const QByteArray otherBytes = feed("Other", topic("First", "One") + topic("Second", "Two"));
    writeFile(other, otherBytes);
    TIniFile ini = settings();
    ini.writeString(other, SettingsKeys::UserID, "bob");
    ini.writeString(other, SettingsKeys::Capture, "http://capture.test/other");
    ini.writeBool(other, SettingsKeys::AdvancedCapture, false);
    ini.writeString(other, SettingsKeys::HeadlineTag, "other-headline");

    choose(form->MPOpen, other);

    expectDialog(0, "Select Publication", "RSS (*.xml)", QString(), QString());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
    expectFeedFile(other);
    EXPECT_EQ(headlines(), (QStringList{"First", "Second"}));
    EXPECT_EQ(form->selectedNode(), form->channelNode()->child(0));
    EXPECT_EQ(form->AMemo->toPlainText(), "One");
    EXPECT_EQ(form->CurrentTopicIndex, 0);
    EXPECT_EQ(form->UserIDField->text(), "bob");
    EXPECT_EQ(form->PasswordField->text(), "");
    EXPECT_EQ(form->FileNameField->text(), "other.xml");
    EXPECT_EQ(form->CaptureSiteEdit->text(), "http://capture.test/other");
    EXPECT_FALSE(form->Advanced->isChecked());
    // The class names come from the start-up alone.
    EXPECT_EQ(form->HeadlineClassName, "headline");
    EXPECT_TRUE(scheduleCleared());
    // Open writes nothing.
    EXPECT_EQ(readFile(other), otherBytes);
    EXPECT_EQ(readFile(newsPath), newsBytes);

    form.reset();
    start();
    EXPECT_EQ(form->FeedFilePath, other);
}

// Only the check's message is shown; the open feed, its file, the settings
// and the window stay as they were, also when the check tried a backup.
TEST_F(FormPublicationCommandsTest, OpenOfAFileThatFailsTheCheckKeepsTheOpenFeed) {
    const QByteArray newsBackup = feed("News backup", topic("Backed up"));
    const struct {
        const char* what;
        QString chosen;
        QByteArray bytes;
        QString backup; // written with backupBytes beside the chosen file
        QByteArray backupBytes;
    } cases[] = {
        {"a feed without items, with a failing backup", homePath("bad.xml"), feed("Bad", {}),
         homePath("bad.bak"), "<html>not a feed either</html>"},
        // news.rss's backup goes to news.xml, the open feed's file.
        {"a file whose backup belongs to the open feed", homePath("news.rss"),
         "<html>no feed</html>", homePath("news.bak"), newsBackup},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(c.chosen, c.bytes);
        writeFile(c.backup, c.backupBytes);
        dialogs.messages.clear();
        const QByteArray ini = readFile(homePath("quillo.ini"));

        choose(form->MPOpen, c.chosen);

        EXPECT_EQ(dialogs.messages,
                  QStringList{"Selected Publication file is not properly formatted."});
        expectNewsStillOpen();
        EXPECT_EQ(readFile(homePath("quillo.ini")), ini);
        EXPECT_EQ(readFile(c.backup), c.backupBytes);
        EXPECT_TRUE(form->Advanced->isChecked());
        EXPECT_EQ(form->HoursCheckListBox->item(5)->checkState(), Qt::Checked);
    }
}

TEST_F(FormPublicationCommandsTest, OpenOfAFeedThatDoesNotLoadCleanlyKeepsACopyFirst) {
    const QString broken = homePath("broken.xml");
    const QByteArray bytes =
        feed("Broken", "<item><title>A</titel><description>x</description></item>");
    writeFile(broken, bytes);
    choose(form->MPOpen, broken);

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.front().startsWith("The feed file could not be read completely ("))
        << dialogs.messages.front().toStdString();
    EXPECT_EQ(readFile(homePath("broken.damaged.xml")), bytes);
    EXPECT_EQ(readFile(broken), bytes);
    expectFeedFile(broken);
}

TEST_F(FormPublicationCommandsTest, SaveAsContinuesWithTheNewFileAndLeavesTheOldOne) {
    const QString copy = homePath("copy.xml");
    choose(form->MPSave, copy);

    expectDialog(0, "Enter New Publication Name", "RSS Files (*.xml)", "news.xml", "xml");
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
    expectFeedFile(copy);
    EXPECT_EQ(readFile(copy), newsBytes);
    EXPECT_EQ(readFile(newsPath), newsBytes);
    // A name never used has no login and no publication name yet.
    EXPECT_EQ(form->UserIDField->text(), "");
    EXPECT_EQ(form->PasswordField->text(), "");
    EXPECT_EQ(form->FileNameField->text(), "copy.xml");
    // The tree and the capture settings stay.
    EXPECT_EQ(headlines(), QStringList{"Local"});
    EXPECT_EQ(form->CaptureSiteEdit->text(), "http://capture.test/news");
    EXPECT_TRUE(form->Advanced->isChecked());
    EXPECT_EQ(form->TTLSpin->value(), 60);

    form->AddBtnClick();
    form->QMemo->setPlainText("Added later");
    form->SaveBtnClick();
    EXPECT_TRUE(readFile(copy).contains("Added later"));
    EXPECT_EQ(readFile(homePath("copy.bak")), newsBytes);
    EXPECT_EQ(readFile(newsPath), newsBytes);
    EXPECT_FALSE(QFile::exists(homePath("news.bak")));
}

TEST_F(FormPublicationCommandsTest, SaveAsUnderANameWithSettingsLoadsThem) {
    const QString known = homePath("known.xml");
    TIniFile ini = settings();
    ini.writeString(known, SettingsKeys::UserID, "carol");
    ini.writeString(known, SettingsKeys::FileName, "known-feed.xml");
    ini.writeString(known, SettingsKeys::Capture, "http://capture.test/known");
    choose(form->MPSave, known);

    EXPECT_EQ(form->UserIDField->text(), "carol");
    EXPECT_EQ(form->FileNameField->text(), "known-feed.xml");
    EXPECT_EQ(form->CaptureSiteEdit->text(), "http://capture.test/news");
}

// The new file is written before anything switches to it.
TEST_F(FormPublicationCommandsTest, SaveAsUnderANameThatCannotBeWrittenStaysOnTheOldFile) {
    const QString blocked = homePath("blocked.xml");
    ASSERT_TRUE(QDir(home.path()).mkdir("blocked.xml"));
    choose(form->MPSave, blocked);

    EXPECT_EQ(dialogs.messages.size(), 1);
    expectNewsStillOpen();
    EXPECT_EQ(form->FileNameField->text(), "published.xml");
}

TEST_F(FormPublicationCommandsTest, ExitIsRefusedWhileEditingAndClosesWhileViewing) {
    form->AddBtnClick();
    ASSERT_FALSE(form->InViewMode);
    form->MPExit->trigger();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(dialogs.messages,
              QStringList{"You are currently in Edit mode, please Save or Cancel your current "
                          "changes before exiting."});

    form->CancelBtnClick();
    form->MPExit->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(dialogs.messages.size(), 1);
}
