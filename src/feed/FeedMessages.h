#pragma once
// Every message text the feed layer throws or shows, once.

#include <QString>

namespace FeedMessages {

inline QString cannotOpenFile(const QString& path) {
    return QStringLiteral("Cannot open file %1").arg(path);
}
inline QString cannotCreateFile(const QString& path) {
    return QStringLiteral("Cannot create file %1").arg(path);
}

// The feed check in the window.
inline QString checkTitle() {
    return QStringLiteral("Check Publication");
}
inline QString noProblemsFound() {
    return QStringLiteral("No problems found.");
}
inline QString publishAnyway() {
    return QStringLiteral("Publish anyway?");
}

} // namespace FeedMessages
