#include "publish/PublishTarget.h"

#include "feed/FeedMessages.h"

#include "feed/FeedFiles.h"

#include <QFile>
#include <QRegularExpression>

QString ftpRemotePath(const QString& ftpLocation, const QString& fileName) {
    return ftpLocation.endsWith('/') ? ftpLocation + fileName : ftpLocation + '/' + fileName;
}

QString localPublicationPath(const QString& directory, const QString& fileName) {
    return directory.endsWith('/') ? directory + fileName : directory + '/' + fileName;
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

void appendFtpSite(const QString& programDir, QStringList& sites, const QString& site) {
    QStringList longer = sites;
    longer.append(site);
    writeFtpSites(programDir, longer);
    sites = longer;
}

QString ftpDetailsMessage(FtpSiteChoice choice, bool userIdEmpty, bool passwordEmpty) {
    QString text;
    if (choice == FtpSiteChoice::NoneKnown)
        text = "Please add an FTP Site.";
    else if (choice == FtpSiteChoice::NoneChosen)
        text = "Please select an FTP Site.";
    // With a location chosen the fields to fill in come first, without a "Then:".
    if (choice != FtpSiteChoice::Chosen && (userIdEmpty || passwordEmpty))
        text += "\nThen:\n";
    if (userIdEmpty)
        text += "Enter your FTP User ID in the User ID field";
    if (userIdEmpty && passwordEmpty)
        text += " and ";
    if (passwordEmpty)
        text += "Enter your FTP Password in the Password field";
    return text + "\nThen:\nPress the Publish Button.";
}
