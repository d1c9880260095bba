#include "publish/FeedDownload.h"

#include "feed/FeedMessages.h"

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
