#include "app/StartupPaths.h"

#include <QFileInfo>

QString settingsFilePath(const QString& programDir) {
    return programDir + "quillo.ini";
}

QString defaultFeedPath(const QString& programDir) {
    return programDir + "Default.xml";
}

bool argumentNamesFeed(const QString& argument) {
    return argument.contains(".xml");
}

bool argumentIsFeedAddress(const QString& argument) {
    return argumentNamesFeed(argument) && argument.startsWith("http", Qt::CaseInsensitive);
}

QString feedAddressOfArgument(const QString& argument) {
    const qsizetype separator = argument.indexOf("://");
    if (separator < 0)
        return argument;
    return argument.left(separator).toLower() + argument.mid(separator);
}

QString feedPathFromArgument(const QString& argument, const QString& programDir) {
    if (!argumentNamesFeed(argument))
        return {};
    // A leading "/" is as absolute here as a drive letter's ":" is elsewhere.
    if (argument.startsWith('/') || argument.contains(':'))
        return argument;
    return programDir + argument;
}

QString defaultFileNameOf(const QString& feedPath) {
    return QFileInfo(basePathOf(feedPath)).fileName() + ".xml";
}
