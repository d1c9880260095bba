// TForm1's feed file store: writing the document, the one-step backup and
// Undo, and the quick check of a file about to be opened.
#include "app/Form1.h"

#include "app/Dialogs.h"

#include "feed/FeedFiles.h"

#include <QFile>

namespace {

// A file that cannot be read has none of the tags.
bool fileHasFeedTags(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && hasFeedTags(file.readAll());
}

} // namespace

void TForm1::SaveXMLFile(const QString& Path) {
    XMLObject.saveToSource(Path.toStdString());
}

void TForm1::FileCopy(const QString& Source, const QString& Destination) {
    fileCopy(Source, Destination);
}

void TForm1::UndoBtnClick() {
    const QString backup = BasePath + QStringLiteral(".bak");
    if (QFile::exists(backup))
        FileCopy(backup, BasePath + QStringLiteral(".xml"));
    FormActivate();
}

bool TForm1::ValidTagsInFile(const QString& Path) {
    if (fileHasFeedTags(Path))
        return true;
    const QString base = basePathOf(Path);
    const QString backup = base + QStringLiteral(".bak");
    if (QFile::exists(backup)) {
        const QString restored = base + QStringLiteral(".xml");
        // The backup replaces the file; what it replaces is kept beside it.
        if (QFile::exists(restored))
            keepDamagedCopy(restored);
        FileCopy(backup, restored);
    }
    if (fileHasFeedTags(Path))
        return true;
    dialogs().showMessage(QStringLiteral("Selected Publication file is not properly formatted."));
    return false;
}
