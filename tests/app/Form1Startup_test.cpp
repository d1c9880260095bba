// The start-up sequence over a temporary program directory: settings, the feed
// argument, the template, and a feed file that does not load cleanly.
#include "form/FormFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QWindow>

namespace {

const QByteArray oneTopic = "<item><title><![CDATA[First]]></title><link>http://a/</link>"
                            "<description><![CDATA[Synopsis one]]></description></item>";

} // namespace

class FormStartupTest : public FormFixture {};

TEST_F(FormStartupTest, FreshProgramDirectoryShowsTheTemplateOnFeedInfo) {
    start();

    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillo - ") + homePath("Default.xml"));
    EXPECT_EQ(form->Page->currentWidget(), form->ChannelPage);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();

    QTreeWidgetItem* channel = form->channelNode();
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->text(0), QStringLiteral("Channel Title"));
    EXPECT_EQ(TForm1::nodeData(channel), TForm1::ChannelNodeData);
    ASSERT_EQ(channel->childCount(), 1);
    EXPECT_EQ(channel->child(0)->text(0), QString());
    EXPECT_EQ(form->selectedNode(), channel->child(0));
    EXPECT_EQ(form->AListBox, QStringList{QString()});
    EXPECT_EQ(form->TitleEdit->text(), QStringLiteral("Channel Title"));
    EXPECT_EQ(form->LinkEdit->text(), QStringLiteral("http://"));
    EXPECT_EQ(form->DescEdit->text(), QStringLiteral("RSS Feed"));

    EXPECT_TRUE(form->LocalRadio->isChecked());
    for (QWidget* login : std::initializer_list<QWidget*>{form->UserIDLabel, form->UserIDField,
                                                          form->PasswordLabel, form->PasswordField})
        EXPECT_TRUE(login->isHidden());
    EXPECT_EQ(form->FileNameField->text(), QStringLiteral("Default.xml"));

    EXPECT_EQ(form->DatePicker->date(), startTime.date());
    EXPECT_EQ(form->BuildDatePicker->date(), startTime.date());
    EXPECT_EQ(form->TimePicker->time(), startTime.time());
    EXPECT_EQ(form->BuildTimePicker->time(), startTime.time());
    EXPECT_EQ(form->QuestionPanel->caption(), QStringLiteral(" Headline: 1"));
    EXPECT_EQ(form->TopicPanel->caption(), QStringLiteral(" Channel: Channel Title"));
    EXPECT_EQ(form->CurrentTopicIndex, 0);
    EXPECT_EQ(form->CurrentNodeData, 0);
}

TEST_F(FormStartupTest, FeedArgumentChoosesTheFeedFile) {
    const QString elsewhere = homePath("elsewhere/other.xml");
    struct Case {
        QString argument;
        QString feedPath;
    } cases[] = {
        // Relative to the program directory, whatever the working directory is.
        {QStringLiteral("news.xml"), homePath("news.xml")},
        {QStringLiteral("sub/news.xml"), homePath("sub/news.xml")},
        {elsewhere, elsewhere},
        // The ".xml" test is case-sensitive: an ordinary start.
        {QStringLiteral("NEWS.XML"), homePath("settings.xml")},
        {QStringLiteral("--verbose"), homePath("settings.xml")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        TIniFile ini = settings();
        ini.writeString(QStringLiteral("Publication"), QStringLiteral("FilePath"),
                        homePath("settings.xml"));
        start({c.argument});
        EXPECT_EQ(form->FeedFilePath, c.feedPath);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillo - ") + c.feedPath);
        form.reset();
    }
}

TEST_F(FormStartupTest, FeedSectionAndPublishingSettingsFillTheControls) {
    const QString feedPath = homePath("feeds/news.xml");
    writeFile(feedPath, feed("News", oneTopic));
    writeFile(homePath("ftpsites.txt"), "ftp.one/upload\r\nftp.two/www\r\n");
    TIniFile ini = settings();
    ini.writeString(QStringLiteral("Publication"), QStringLiteral("FilePath"), feedPath);
    ini.writeString(QStringLiteral("Publish"), QStringLiteral("LocalPath"),
                    QStringLiteral("/srv/www"));
    ini.writeString(QStringLiteral("Publish"), QStringLiteral("FTPPath"),
                    QStringLiteral("ftp.two/www"));
    ini.writeString(QStringLiteral("Publish"), QStringLiteral("Location"),
                    QStringLiteral("FTPRadio"));
    ini.writeString(feedPath, QStringLiteral("UserID"), QStringLiteral("editor"));
    ini.writeString(feedPath, QStringLiteral("Password"), QStringLiteral("secret"));
    ini.writeString(feedPath, QStringLiteral("FileName"), QStringLiteral("public.xml"));
    ini.writeString(feedPath, QStringLiteral("Capture"), QStringLiteral("http://127.0.0.1/page"));
    ini.writeBool(feedPath, QStringLiteral("AdvancedCapture"), true);
    ini.writeString(feedPath, QStringLiteral("HeadlineTag"), QStringLiteral("head"));
    ini.writeString(feedPath, QStringLiteral("SynopsisTag"), QStringLiteral("syn"));

    start();

    EXPECT_EQ(form->LocalLabel2->text(), QStringLiteral("/srv/www"));
    EXPECT_TRUE(form->FTPRadio->isChecked());
    EXPECT_EQ(form->LocalLabel->text(), QStringLiteral("ftp.two/www"));
    EXPECT_FALSE(form->UserIDField->isHidden());
    EXPECT_FALSE(form->PasswordField->isHidden());
    EXPECT_EQ(form->FTPComboBox->currentText(), QStringLiteral("ftp.two/www"));
    ASSERT_EQ(form->FTPComboBox->count(), 2);
    EXPECT_EQ(form->FTPComboBox->itemText(0), QStringLiteral("ftp.one/upload"));
    EXPECT_EQ(form->UserIDField->text(), QStringLiteral("editor"));
    EXPECT_EQ(form->PasswordField->text(), QStringLiteral("secret"));
    EXPECT_EQ(form->FileNameField->text(), QStringLiteral("public.xml"));
    EXPECT_EQ(form->CaptureSiteEdit->text(), QStringLiteral("http://127.0.0.1/page"));
    EXPECT_TRUE(form->Advanced->isChecked());
    EXPECT_EQ(form->HeadlineClassName, QStringLiteral("head"));
    EXPECT_EQ(form->SynopsisClassName, QStringLiteral("syn"));
    EXPECT_EQ(form->BasePath, homePath("feeds/news"));
    EXPECT_EQ(form->BackupFilePath, homePath("feeds/news.bak"));
    EXPECT_EQ(form->channelNode()->child(0)->text(0), QStringLiteral("First"));
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("Synopsis one"));
}

TEST_F(FormStartupTest, AnyLocationButLocalRadioSelectsFtp) {
    for (const QString& location :
         {QStringLiteral("FTPRadio"), QStringLiteral("localradio"), QStringLiteral("")}) {
        SCOPED_TRACE(location.toStdString());
        TIniFile ini = settings();
        ini.writeString(QStringLiteral("Publish"), QStringLiteral("Location"), location);
        start();
        EXPECT_TRUE(form->FTPRadio->isChecked());
        EXPECT_FALSE(form->LocalRadio->isChecked());
        form.reset();
    }
}

TEST_F(FormStartupTest, EmptyFileNameFallsBackToTheFeedsOwnName) {
    struct Case {
        QString feedFile;
        QString fileName;
    } cases[] = {
        {QStringLiteral("feeds/news.xml"), QStringLiteral("news.xml")},
        // Four characters are cut whatever they are.
        {QStringLiteral("feeds/news.rss"), QStringLiteral("news.xml")},
        {QStringLiteral("feeds/weekly"), QStringLiteral("we.xml")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.feedFile.toStdString());
        TIniFile ini = settings();
        ini.writeString(QStringLiteral("Publication"), QStringLiteral("FilePath"),
                        homePath(c.feedFile));
        ini.writeString(homePath(c.feedFile), QStringLiteral("FileName"), QString());
        start();
        EXPECT_EQ(form->FileNameField->text(), c.fileName);
        form.reset();
    }
}

TEST_F(FormStartupTest, DamagedFeedFileIsKeptBesideItAndReported) {
    const QByteArray damaged = feed("Half", oneTopic).left(150);
    writeFile(homePath("Default.xml"), damaged);

    start();

    const QString copy = homePath("Default.damaged.xml");
    EXPECT_EQ(readFile(copy), damaged);
    ASSERT_EQ(dialogs.messages.size(), 1);
    const QString message = dialogs.messages.constFirst();
    EXPECT_TRUE(message.startsWith(QStringLiteral("The feed file could not be read completely (")))
        << message.toStdString();
    EXPECT_TRUE(message.endsWith(QStringLiteral("). A copy of it was kept as ") + copy + u'.'))
        << message.toStdString();
    const QString firstError =
        QString::fromStdU16String(form->XMLObject.errorList().front()).trimmed();
    EXPECT_TRUE(message.contains(u'(' + firstError + u')')) << message.toStdString();
    // The start-up goes on with what the reader built.
    ASSERT_NE(form->channelNode(), nullptr);
    EXPECT_EQ(form->channelNode()->text(0), QStringLiteral("Half"));
}

TEST_F(FormStartupTest, DamagedFeedFileInAnUnattendedRunIsKeptWithoutAMessage) {
    writeFile(homePath("Default.xml"), feed("Whole", oneTopic));
    start();
    const QByteArray damaged = "<rss><channel><title>Cut</title><item>";
    writeFile(homePath("Default.xml"), damaged);

    form->UnattendedRun = true;
    form->UndoBtnClick();

    EXPECT_EQ(readFile(homePath("Default.damaged.xml")), damaged);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(FormStartupTest, CleanFeedFileMakesNoCopy) {
    writeFile(homePath("Default.xml"), feed("Whole", oneTopic));
    start();
    EXPECT_FALSE(QFile::exists(homePath("Default.damaged.xml")));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(FormStartupTest, DamagedFeedThatCannotBeKeptIsReportedAndTheStartUpGoesOn) {
    const QByteArray damaged = "<rss><channel><title>Cut</title><item>";
    writeFile(homePath("Default.xml"), damaged);
    // Something that is not a file already holds the copy's name.
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Default.damaged.xml")));

    start();

    const QString firstError =
        QString::fromStdU16String(form->XMLObject.errorList().front()).trimmed();
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("The feed file could not be read completely (") +
                          firstError +
                          QStringLiteral("). No copy of it could be kept (Cannot create file ") +
                          homePath("Default.damaged.xml") + QStringLiteral(").")});
    EXPECT_EQ(readFile(homePath("Default.xml")), damaged);
    EXPECT_TRUE(form->isVisible());
    // The start-up went on with what the reader built.
    ASSERT_NE(form->channelNode(), nullptr);
    EXPECT_EQ(form->channelNode()->text(0), QStringLiteral("Cut"));
    EXPECT_EQ(form->TopicPanel->caption(), QStringLiteral(" Channel: Cut"));
}

TEST_F(FormStartupTest, FeedFileThatCannotBeReadAtAllIsReportedAndTheStartUpGoesOn) {
    // A folder holds the feed file's name: it exists but has no bytes to read.
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Default.xml")));

    start();

    ASSERT_EQ(dialogs.messages.size(), 1);
    const QString message = dialogs.messages.constFirst();
    EXPECT_TRUE(message.startsWith(QStringLiteral("The feed file could not be read completely (")))
        << message.toStdString();
    EXPECT_TRUE(
        message.contains(QStringLiteral("). No copy of it could be kept (Cannot open file ") +
                         homePath("Default.xml") + QStringLiteral(").")))
        << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral(" )")));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillo - ") + homePath("Default.xml"));
    EXPECT_NE(form->QuestionPanel->caption(), QStringLiteral("Item:"));
}

TEST_F(FormStartupTest, StartUpMessagesAppearOverTheWindowOnTheScreen) {
    writeFile(homePath("Default.xml"), "<rss><channel><title>Cut</title><item>");
    QList<bool> exposed;
    dialogs.onMessage = [&] {
        exposed << (form->windowHandle() && form->windowHandle()->isExposed());
    };
    start();
    EXPECT_EQ(exposed, QList<bool>{true});
}

TEST_F(FormStartupTest, AFirstSynopsisNestedTwentyThousandLevelsDeepDoesNotFreezeTheStartUp) {
    QByteArray deep;
    for (int i = 0; i < 20000; ++i)
        deep += "<ul><li>";
    writeFile(homePath("Default.xml"),
              feed("Deep", "<item><title>Deep</title><link/><description><![CDATA[" + deep +
                               "]]></description></item>"));
    start();
    EXPECT_TRUE(form->HTMLText->toPlainText().startsWith(
        QStringLiteral("This synopsis nests its markup too deeply")));
    EXPECT_TRUE(form->HTMLText->toPlainText().contains(QStringLiteral("<ul><li><ul><li>")));
    EXPECT_EQ(form->AMemo->toPlainText(), QString::fromLatin1(deep));
}
