// The start-up sequence: creating the window's state, and, once the window
// is on the screen, reading the settings and opening the feed file.
#include "app/Form1.h"

#include "app/AppMessages.h"
#include "app/Dialogs.h"
#include "app/IniFile.h"
#include "app/ProgramDir.h"
#include "app/SettingsKeys.h"
#include "app/StartupPaths.h"
#include "feed/Clock.h"
#include "feed/FeedTemplate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QWindow>

#include <curl/curlver.h>

QString TForm1::commandLineArgument() const {
    return arguments_.value(1);
}

bool TForm1::interactiveSession() const {
    return !UnattendedRun && !argumentNamesFeed(commandLineArgument());
}

void TForm1::FormCreate() {
    CaptureLines.clear();
    ProgramDirectory = resolveProgramDirectory();
    InViewMode = true;
    UnattendedRun = false;
    StartTime = GetLocalTimeNUTC();
    setActivePage(ChannelPage);
    AboutMemo->setPlainText(QStringList{
        QStringLiteral("Quillo Version 1.0"),
        QStringLiteral("Licence: GNU General Public License, version 3 or later (see "
                       "LICENSE; the full text is in /usr/share/common-licenses/GPL-3)"),
        QStringLiteral("Program directory: ") + ProgramDirectory,
        QStringLiteral("Settings file: ") + settingsFilePath(ProgramDirectory),
        QStringLiteral("Qt %1, libcurl %2")
            .arg(QString::fromLatin1(qVersion()),
                 QString::fromLatin1(LIBCURL_VERSION)),
        QStringLiteral("Manual: ") + manualFilePath(),
        QStringLiteral(" "),
    }
                                .join(u'\n'));
}

void TForm1::FormActivate() {
    const QString argument = commandLineArgument();

    ProgramDirectory = resolveProgramDirectory();
    TIniFile settings(settingsFilePath(ProgramDirectory));

    FeedFilePath = settings.readString(SettingsKeys::PublicationSection, SettingsKeys::FilePath,
                                       defaultFeedPath(ProgramDirectory));
    const QString argumentFeed = feedPathFromArgument(argument, ProgramDirectory);
    if (!argumentFeed.isEmpty())
        FeedFilePath = argumentFeed;
    // An address is downloaded first. A feed that passed the check is then
    // the feed file, and the settings below are read for it. The client
    // takes a scheme in capitals for no scheme at all, so the scheme goes to
    // it in lower case.
    if (argumentIsFeedAddress(argument)) {
        HttpFile.URL = feedAddressOfArgument(argument);
        HttpFile.Get();
    }

    LocalLabel2->setText(
        settings.readString(SettingsKeys::PublishSection, SettingsKeys::LocalPath, QString()));
    FTPComboBox->setEditText(
        settings.readString(SettingsKeys::PublishSection, SettingsKeys::FTPPath, QString()));

    // Checking a radio button from code does not run LocalRadioClick: that
    // handler answers user clicks only.
    if (settings.readString(SettingsKeys::PublishSection, SettingsKeys::Location,
                            SettingsKeys::LocalRadioLocation) == SettingsKeys::LocalRadioLocation) {
        LocalLabel->setText(LocalLabel2->text());
        LocalRadio->setChecked(true);
        UserIDLabel->hide();
        UserIDField->hide();
        PasswordLabel->hide();
        PasswordField->hide();
    } else {
        FTPRadio->setChecked(true);
        LocalLabel->setText(FTPComboBox->currentText());
    }

    const QString feedSection = FeedFilePath;
    UserIDField->setText(settings.readString(feedSection, SettingsKeys::UserID, QString()));
    PasswordField->setText(settings.readString(feedSection, SettingsKeys::Password, QString()));
    FileNameField->setText(settings.readString(feedSection, SettingsKeys::FileName, QString()));
    CaptureSiteEdit->setText(settings.readString(feedSection, SettingsKeys::Capture, QString()));
    Advanced->setChecked(settings.readBool(feedSection, SettingsKeys::AdvancedCapture, false));
    HeadlineClassName = settings.readString(feedSection, SettingsKeys::HeadlineTag, QString());
    SynopsisClassName = settings.readString(feedSection, SettingsKeys::SynopsisTag, QString());

    BasePath = basePathOf(FeedFilePath);
    BackupFilePath = backupPathOf(FeedFilePath);
    setWindowTitle(QStringLiteral("Quillo - ") + FeedFilePath);
    if (FileNameField->text().isEmpty())
        FileNameField->setText(defaultFileNameOf(FeedFilePath));

    if (QFile::exists(ftpSitesPath(ProgramDirectory))) {
        const QString text = FTPComboBox->currentText();
        FTPComboBox->clear();
        FTPComboBox->addItems(readFtpSites(ProgramDirectory));
        FTPComboBox->setEditText(text);
    }

    bool mayWriteFeed = true;
    const bool feedExists = QFile::exists(FeedFilePath);
    feedLoadProblem_.clear();
    if (feedExists)
        mayWriteFeed = loadFeedFile(FeedFilePath);
    else
        XMLObject.loadFromMemory(NewFeedTemplate.data(), NewFeedTemplate.size());

    LoadQandAData();

    selectFirstTopic();

    for (QDateEdit* picker : {DatePicker, BuildDatePicker})
        picker->setDate(StartTime.date());
    for (QTimeEdit* picker : {TimePicker, BuildTimePicker})
        picker->setTime(StartTime.time());

    PositionInList(CurrentTopicIndex + 1);

    // An unattended run refreshes the feed it was given and nothing else: a
    // missing or damaged one is left as it is, and nothing is published.
    if (argumentNamesFeed(argument) && !feedExists) {
        // An address here is one whose download gave no feed.
        const QString reason = argumentIsFeedAddress(argument)
                                   ? AppMessages::runDownloadFailed(argument)
                                   : AppMessages::runFeedMissing(FeedFilePath);
        endUnattendedRun(2, reason + u' ' + AppMessages::runNotPublished(FeedFilePath));
        return;
    }
    if (argumentNamesFeed(argument) && !feedLoadProblem_.isEmpty()) {
        endUnattendedRun(2, feedLoadProblem_ + u' ' + AppMessages::runNotPublished(FeedFilePath));
        return;
    }
    // A damaged feed of which no copy could be kept is never written over.
    if (!mayWriteFeed)
        return;
    SetChannelTime(DatePicker);
    SetChannelTime(BuildDatePicker);
    // Stamping rebuilt the tree; the start-up still ends on the first topic.
    if (QTreeWidgetItem* channel = channelNode(); channel && channel->childCount() > 0)
        selectNode(channel->child(0));
    CurrentTopicIndex = 0;
    CurrentNodeData = 0;
    SetCurrentTopic();

    if (argumentNamesFeed(argument))
        startUnattendedRun();
}

bool TForm1::loadFeedFile(const QString& path) {
    if (XMLObject.loadFromSource(path.toStdString()))
        return true;
    const TXmlErrorList& errors = XMLObject.errorList();
    const QString firstError =
        errors.empty() ? QString() : QString::fromStdU16String(errors.front()).trimmed();
    // The user hears of the damage even when no copy can be kept, and the
    // start-up goes on with what the reader built.
    QString message;
    bool kept = true;
    try {
        message = AppMessages::damagedFeedKept(firstError, keepDamagedCopy(path));
    } catch (const std::exception& failure) {
        kept = false;
        message = AppMessages::damagedFeedNotKept(firstError,
                                                  QString::fromUtf8(failure.what()).trimmed());
    }
    feedLoadProblem_ = message;
    if (interactiveSession())
        dialogs_.showMessage(message);
    return kept;
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (startupScheduled_)
        return;
    QWindow* window = windowHandle();
    if (window && !window->isExposed()) {
        // Shown is not yet on the screen: wait until the window is mapped, so
        // a message of the start-up appears over it.
        watchEvents(window, &TForm1::WindowExposeEvent);
        return;
    }
    scheduleStartup();
}

bool TForm1::WindowExposeEvent(QEvent* event) {
    if (event->type() == QEvent::Expose && !startupScheduled_ && windowHandle()->isExposed())
        scheduleStartup();
    return false;
}

void TForm1::scheduleStartup() {
    startupScheduled_ = true;
    // Queued, so the window paints once before the sequence runs.
    QMetaObject::invokeMethod(
        this,
        [this] {
            activated_ = true;
            guarded([this] { FormActivate(); });
            endRunLeftOpen();
        },
        Qt::QueuedConnection);
}
