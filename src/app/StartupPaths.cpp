#include "app/StartupPaths.h"

#include "feed/FeedMessages.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

QString settingsFilePath(const QString& programDir) {
    return programDir + "quillo.ini";
}

QString defaultFeedPath(const QString& programDir) {
    return programDir + "Default.xml";
}

QString feedPathFromArgument(const QString& argument, const QString& programDir) {
    if (!argument.contains(".xml"))
        return {};
    // A leading "/" is as absolute here as a drive letter's ":" is elsewhere.
    if (argument.startsWith('/') || argument.contains(':'))
        return argument;
    return programDir + argument;
}

QString defaultFileNameOf(const QString& feedPath) {
    return QFileInfo(basePathOf(feedPath)).fileName() + ".xml";
}

QString ftpSitesPath(const QString& programDir) {
    return programDir + "ftpsites.txt";
}

QStringList readFtpSites(const QString& programDir) {
    QFile file(ftpSitesPath(programDir));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression lineBreak("\r\n|\r|\n");
    QStringList lines = text.split(lineBreak);
    // The break that ends the last line does not start another one.
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

void writeFtpSites(const QString& programDir, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    const QString path = ftpSitesPath(programDir);
    writeFileAtomically(path, bytes, FeedMessages::cannotCreateFile(path));
}
