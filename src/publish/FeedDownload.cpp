#include "publish/FeedDownload.h"

#include "feed/FeedMessages.h"
#include "publish/DownloadMessages.h"

#include <stdexcept>

QString URLFileName(const QString& url) {
    const qsizetype slash = url.lastIndexOf('/');
    if (slash < 0 || slash + 1 == url.size())
        return url;
    return url.mid(slash + 1);
}

bool isProgramFileName(const QString& name) {
    return name.compare("quillo.ini", Qt::CaseInsensitive) == 0 ||
           name.compare("ftpsites.txt", Qt::CaseInsensitive) == 0;
}

QString downloadFilePath(const QString& programDir, const QString& url) {
    const QString name = URLFileName(url);
    const QString path = programDir + name;
    // A name that leaves the program directory could only fail or overwrite
    // something that is not a download.
    if (isProgramFileName(name) || name.isEmpty() || name == "." || name == ".." ||
        name.contains('/'))
        throw std::runtime_error(FeedMessages::cannotCreateFile(path).toStdString());
    return path;
}

namespace {

bool successStatus(int status) {
    return status >= 200 && status < 300;
}

} // namespace

QString downloadFailure(const TDownloadResponse& response) {
    QString reason;
    if (response.Error != 0)
        // A failure status comes with its reason phrase (the client's own for a
        // name or connection failure); after a success status or none, the
        // phrase is the status line's or an earlier request's.
        reason = response.StatusCode == 0 || successStatus(response.StatusCode) ||
                         response.ReasonPhrase.trimmed().isEmpty()
                     ? response.ErrorText
                     : response.ReasonPhrase;
    else if (response.StatusCode != 0 && !successStatus(response.StatusCode))
        reason = QStringLiteral("%1 %2").arg(response.StatusCode).arg(response.ReasonPhrase);
    else if (!response.BodyReceived)
        return DownloadMessages::noDocument();
    else
        return {};
    reason = reason.trimmed();
    while (reason.endsWith(u'.'))
        reason.chop(1);
    return reason;
}
