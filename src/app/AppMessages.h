#pragma once
// Every message text the application shell shows or throws, once.

#include <QString>

namespace AppMessages {

inline QString editModeExit() {
    return QStringLiteral("You are currently in Edit mode, please Save or Cancel your current "
                          "changes before exiting.");
}
inline QString editModePage() {
    return QStringLiteral("You are currently in Edit mode, please Save or Cancel your current "
                          "changes before going to another page.");
}
inline QString notProperlyFormatted() {
    return QStringLiteral("Selected Publication file is not properly formatted.");
}
inline QString damagedFeedKept(const QString& error, const QString& copyPath) {
    return QStringLiteral("The feed file could not be read completely (%1). A copy of it was "
                          "kept as %2.")
        .arg(error, copyPath);
}
inline QString damagedFeedNotKept(const QString& error, const QString& reason) {
    return QStringLiteral("The feed file could not be read completely (%1). No copy of it could "
                          "be kept (%2).")
        .arg(error, reason);
}
inline QString unableToWrite(const QString& settingsPath) {
    return QStringLiteral("Unable to write to %1").arg(settingsPath);
}
inline QString domError(int code) {
    return QStringLiteral("XML document error %1").arg(code);
}
inline QString unexpectedError() {
    return QStringLiteral("An unexpected error occurred");
}

// What an unattended run reports when it does not publish.
inline QString runFeedMissing(const QString& feedPath) {
    return QStringLiteral("The feed file %1 does not exist.").arg(feedPath);
}
inline QString runDownloadFailed(const QString& address) {
    return QStringLiteral("No feed could be downloaded from %1.").arg(address);
}
inline QString runNotPublished(const QString& feedPath) {
    return QStringLiteral("The feed %1 was not published.").arg(feedPath);
}

inline QString previewNestedTooDeeply() {
    return QStringLiteral("This synopsis nests its markup too deeply to be laid out; it is shown "
                          "as plain text.");
}
inline QString previewCut(qsizetype shownCharacters) {
    return QStringLiteral("This synopsis is too long to be shown in full; its first %L1 "
                          "characters are shown.")
        .arg(shownCharacters);
}

} // namespace AppMessages
