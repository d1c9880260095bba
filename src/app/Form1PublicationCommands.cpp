// The Publication menu's switches from one feed file to another: New, Open,
// Save As and Exit, and the steps of opening a feed file that the download
// shares.
#include "app/Form1.h"

#include "app/Dialogs.h"
#include "app/IniFile.h"
#include "app/SettingsKeys.h"
#include "app/StartupPaths.h"
#include "feed/FeedFiles.h"
#include "feed/FeedMessages.h"
#include "feed/FeedTemplate.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>

namespace {

// The dialog of New and Save As, starting at the feed file.
FileDialogRequest newPublicationRequest(const QString& feedPath) {
    const QFileInfo feed(feedPath);
    return {QStringLiteral("Enter New Publication Name"), QStringLiteral("RSS Files (*.xml)"),
            feed.absolutePath(), feed.fileName(), QStringLiteral("xml")};
}

} // namespace

void TForm1::wirePublicationCommands() {
    connectGuarded(MPNew, &QAction::triggered, &TForm1::MPNewClick);
    connectGuarded(MPOpen, &QAction::triggered, &TForm1::MPOpenClick);
    connectGuarded(MPSave, &QAction::triggered, &TForm1::MPSaveClick);
    connectGuarded(MPExit, &QAction::triggered, &TForm1::MPExitClick);
}

void TForm1::MPNewClick() {
    const std::optional<QString> chosen = dialogs().saveFile(newPublicationRequest(FeedFilePath));
    if (!chosen)
        return;
    Advanced->setChecked(false);
    setFeedFilePath(*chosen);
    CaptureSiteEdit->clear();
    FileNameField->setText(defaultFileNameOf(FeedFilePath));
    TIniFile(settingsFilePath(ProgramDirectory))
        .writeString(SettingsKeys::PublicationSection, SettingsKeys::FilePath, FeedFilePath);
    XMLObject.loadFromMemory(NewFeedTemplate.data(), NewFeedTemplate.size());
    LoadQandAData();
    SaveXMLFile(FeedFilePath);
    showFirstTopic();
    clearSchedule();
}

void TForm1::MPOpenClick() {
    const std::optional<QString> chosen =
        dialogs().openFile({QStringLiteral("Select Publication"), QStringLiteral("RSS (*.xml)"),
                            QFileInfo(FeedFilePath).absolutePath(), QString(), QString()});
    if (!chosen)
        return;
    // The check may put the chosen file's backup in place of its ".xml"
    // namesake, which for a chosen news.rss is the open news.xml. A refused
    // Open gives the open feed's file back as it was.
    const bool checkMayReplaceFeed = *chosen != FeedFilePath &&
                                     restoredPathOf(*chosen) == FeedFilePath &&
                                     QFile::exists(FeedFilePath);
    const QByteArray feedBytes = checkMayReplaceFeed ? readWholeFile(FeedFilePath) : QByteArray();
    if (!ValidTagsInFile(*chosen)) {
        if (checkMayReplaceFeed && readWholeFile(FeedFilePath) != feedBytes)
            writeFileAtomically(FeedFilePath, feedBytes,
                                FeedMessages::cannotCreateFile(FeedFilePath));
        return;
    }
    openCheckedFeed(*chosen, true);
}

void TForm1::MPSaveClick() {
    const std::optional<QString> chosen = dialogs().saveFile(newPublicationRequest(FeedFilePath));
    if (!chosen)
        return;
    // Written before the switch: a name that cannot be written leaves the
    // window, and the next start, on the old file.
    SaveXMLFile(*chosen);
    setFeedFilePath(*chosen);
    TIniFile settings(settingsFilePath(ProgramDirectory));
    settings.writeString(SettingsKeys::PublicationSection, SettingsKeys::FilePath, FeedFilePath);
    loadPublishingKeys(settings);
}

void TForm1::MPExitClick() {
    close();
}

void TForm1::setFeedFilePath(const QString& path) {
    FeedFilePath = path;
    BasePath = basePathOf(FeedFilePath);
    BackupFilePath = backupPathOf(FeedFilePath);
    setWindowTitle(QStringLiteral("Quillo - ") + FeedFilePath);
}

void TForm1::clearSchedule() {
    TTLSpin->setValue(0);
    for (QListWidget* list : {DaysCheckListBox, HoursCheckListBox})
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(Qt::Unchecked);
}

void TForm1::loadPublishingKeys(const TIniFile& settings) {
    UserIDField->setText(settings.readString(FeedFilePath, SettingsKeys::UserID, QString()));
    PasswordField->setText(settings.readString(FeedFilePath, SettingsKeys::Password, QString()));
    FileNameField->setText(settings.readString(FeedFilePath, SettingsKeys::FileName, QString()));
    if (FileNameField->text().isEmpty())
        FileNameField->setText(defaultFileNameOf(FeedFilePath));
}

void TForm1::showFirstTopic() {
    selectFirstTopic();
    PositionInList(CurrentTopicIndex + 1);
}

void TForm1::openCheckedFeed(const QString& path, bool withCaptureMode) {
    clearSchedule();
    setFeedFilePath(path);
    // A feed that does not load cleanly is kept beside itself before any
    // edit can write over it, as at start-up.
    loadFeedFile(FeedFilePath);
    LoadQandAData();

    TIniFile settings(settingsFilePath(ProgramDirectory));
    settings.writeString(SettingsKeys::PublicationSection, SettingsKeys::FilePath, FeedFilePath);
    if (withCaptureMode)
        Advanced->setChecked(settings.readBool(FeedFilePath, SettingsKeys::AdvancedCapture, false));
    CaptureSiteEdit->setText(settings.readString(FeedFilePath, SettingsKeys::Capture, QString()));
    loadPublishingKeys(settings);

    showFirstTopic();
}
