// TForm1's feed file store: writing the document, the one-step backup and
// Undo, and the quick check of a file about to be opened.
#include "app/Form1.h"

#include "app/AppMessages.h"
#include "app/Dialogs.h"

#include "feed/FeedFiles.h"

#include <QFile>
#include <QPushButton>

namespace {

// A file that cannot be read has none of the tags.
bool fileHasFeedTags(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && hasFeedTags(file.readAll());
}

} // namespace

void TForm1::wireFeedFileStore() {
    connectGuarded(UndoBtn, &QPushButton::clicked, &TForm1::UndoBtnClick);
}

void TForm1::SaveXMLFile(const QString& Path) {
    XMLObject.saveToSource(Path.toStdString());
}

void TForm1::SaveBackupFile() {
    if (backupsFromFeedFile_ && savedFeedFile_ && fileStampOf(FeedFilePath) == savedFeedFile_ &&
        linkAsBackup(FeedFilePath, BackupFilePath))
        return;
    SaveXMLFile(BackupFilePath);
}

void TForm1::noteFeedFileSaved() {
    savedFeedFile_ = fileStampOf(FeedFilePath);
}

void TForm1::FileCopy(const QString& Source, const QString& Destination) {
    fileCopy(Source, Destination);
}

void TForm1::UndoBtnClick() {
    const QString backup = backupPathOf(FeedFilePath);
    if (QFile::exists(backup))
        FileCopy(backup, restoredPathOf(FeedFilePath));
    FormActivate();
}

bool TForm1::ValidTagsInFile(const QString& Path) {
    if (fileHasFeedTags(Path))
        return true;
    const QString backup = backupPathOf(Path);
    if (QFile::exists(backup)) {
        const QString restored = restoredPathOf(Path);
        // The backup replaces the file; what it replaces is kept beside it.
        if (QFile::exists(restored))
            keepDamagedCopy(restored);
        FileCopy(backup, restored);
    }
    if (fileHasFeedTags(Path))
        return true;
    dialogs().showMessage(AppMessages::notProperlyFormatted());
    return false;
}
