#include "app/ProgramDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString withTrailingSlash(const QString& dir) {
    return dir.endsWith('/') ? dir : dir + '/';
}

} // namespace

QString resolveProgramDirectory() {
    const QString home = qEnvironmentVariable("QUILLO_HOME");
    if (!home.isEmpty()) {
        const QString dir = QDir(home).absolutePath();
        QDir().mkpath(dir);
        return withTrailingSlash(dir);
    }
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!exeDir.isEmpty() && QFileInfo(exeDir).isWritable())
        return withTrailingSlash(exeDir);
    const QString dataDir = QDir::homePath() + "/.local/share/quillo";
    QDir().mkpath(dataDir);
    return withTrailingSlash(dataDir);
}

QString manualFilePath() {
    const QString installed = QCoreApplication::applicationDirPath() +
                              QStringLiteral("/../" QUILLO_DATA_DIR "/manual.html");
    if (QFileInfo::exists(installed))
        return QFileInfo(installed).canonicalFilePath();
    return QStringLiteral(QUILLO_SOURCE_MANUAL);
}
