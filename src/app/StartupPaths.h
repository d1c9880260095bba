#pragma once
// Paths the start-up sequence works out. basePathOf, backupPathOf and
// damagedCopyPathOf come with FeedFiles.h, the FTP site list beside the
// settings with publish/PublishTarget.h.

#include "feed/FeedFiles.h"
#include "publish/PublishTarget.h"

#include <QString>
#include <QStringList>

// programDir + "quillo.ini".
QString settingsFilePath(const QString& programDir);
// programDir + "Default.xml": the feed opened when the settings name none.
QString defaultFeedPath(const QString& programDir);

// Whether a command-line argument names a feed, which starts an unattended
// run: it contains ".xml" (in lower case).
bool argumentNamesFeed(const QString& argument);
// Whether the feed an argument names is downloaded first: it also begins
// with "http", in any case.
bool argumentIsFeedAddress(const QString& argument);

// The address an argument is downloaded from: the argument with its scheme in
// lower case, the one form the HTTP client reads as a scheme ("HTTP://host/
// news.xml" gives "http://host/news.xml"); the rest stays as it is.
QString feedAddressOfArgument(const QString& argument);

// The feed named by a command-line argument, or empty when the argument names
// none (it must contain ".xml", in lower case). A relative argument is taken
// relative to programDir, not to the working directory.
QString feedPathFromArgument(const QString& argument, const QString& programDir);

// The name a publication gets when none is stored: the feed's base name plus
// ".xml" (/feeds/news.rss gives news.xml).
QString defaultFileNameOf(const QString& feedPath);
