#pragma once
// Every message text the feed layer throws, once.

#include <QString>

namespace FeedMessages {

inline QString cannotOpenFile(const QString& path) {
    return QStringLiteral("Cannot open file %1").arg(path);
}
inline QString cannotCreateFile(const QString& path) {
    return QStringLiteral("Cannot create file %1").arg(path);
}

} // namespace FeedMessages
