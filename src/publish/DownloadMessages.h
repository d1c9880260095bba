#pragma once
// Every message text of the feed download, once.

#include <QString>

namespace DownloadMessages {

inline QString downloadFailed(const QString& url, const QString& reason) {
    if (url.isEmpty())
        return QStringLiteral("No feed address was entered: %1.").arg(reason);
    return QStringLiteral("The feed could not be downloaded from %1: %2.").arg(url, reason);
}
inline QString noDocument() {
    return QStringLiteral("the server sent no document");
}

} // namespace DownloadMessages
