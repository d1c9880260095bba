#pragma once
// Paths the start-up sequence works out, and the FTP site list beside the
// settings. basePathOf, backupPathOf and damagedCopyPathOf come with FeedFiles.h.

#include "feed/FeedFiles.h"

#include <QString>
#include <QStringList>

// programDir + "quillo.ini".
QString settingsFilePath(const QString& programDir);
// programDir + "Default.xml": the feed opened when the settings name none.
QString defaultFeedPath(const QString& programDir);

// The feed named by a command-line argument, or empty when the argument names
// none (it must contain ".xml", in lower case). A relative argument is taken
// relative to programDir, not to the working directory.
QString feedPathFromArgument(const QString& argument, const QString& programDir);

// The name a publication gets when none is stored: the feed's base name plus
// ".xml" (/feeds/news.rss gives news.xml).
QString defaultFileNameOf(const QString& feedPath);

// programDir + "ftpsites.txt", one location per line; a missing file is an
// empty list.
QString ftpSitesPath(const QString& programDir);
QStringList readFtpSites(const QString& programDir);
// Writes the whole list, each line ended by CR LF. Throws std::runtime_error
// "Cannot create file <path>" on failure, leaving the old list in place.
void writeFtpSites(const QString& programDir, const QStringList& lines);
