// The download of a published feed: the address is fetched with HttpFile, the
// body is stored in the program directory under the address's file name, and a
// feed that passes the check becomes the feed file.
//
// The body goes to a temporary file first. Only a complete response with a
// success status whose text passes the feed check replaces the file of that
// name, so a failed download (an error page, a refused connection, a broken
// transfer) leaves an earlier download as it was and opens nothing.
//
// The handlers hold the whole download, so any caller of HttpFile.Get gets
// it: the menu command and the start-up for an http argument alike. They run
// nested inside Get and reach the client through the error guard.
#include "app/Form1.h"

#include "app/AppMessages.h"
#include "app/Dialogs.h"
#include "app/IniFile.h"
#include "app/SettingsKeys.h"
#include "app/StartupPaths.h"
#include "feed/FeedFiles.h"
#include "feed/FeedMessages.h"
#include "net/AsyncSocket.h"
#include "net/HttpClient.h"
#include "net/NetMessages.h"
#include "publish/DownloadMessages.h"
#include "publish/FeedDownload.h"

#include <QAction>

#include <stdexcept>

void TForm1::wireFeedDownload() {
    connectGuarded(MPDownload, &QAction::triggered, &TForm1::MPDownloadClick);
    HttpFile.OnDocBegin = [this](THttpClient* sender) {
        guarded([&] { HttpFileDocBegin(sender); });
        // A file that cannot be had ends the transfer: nothing more is read.
        if (downloadRefused_)
            HttpFile.Abort();
    };
    HttpFile.OnDocEnd = [this](THttpClient* sender) { guarded([&] { HttpFileDocEnd(sender); }); };
    HttpFile.OnRequestDone = [this](THttpClient* sender, THttpRequest rqType, quint16 error) {
        guarded([&] { HttpFileRequestDone(sender, rqType, error); });
    };
}

void TForm1::MPDownloadClick() {
    // A second download while one runs: the client refuses it, before the
    // address of the running one could change under its handlers.
    if (HttpFile.State() != httpReady)
        HttpFile.Get();
    TIniFile settings(settingsFilePath(ProgramDirectory));
    const std::optional<QString> url = dialogs().prompt(
        QStringLiteral("Download RSS file"),
        QStringLiteral("Enter URL and file name of RSS file to download."),
        settings.readString(SettingsKeys::PublicationSection, SettingsKeys::WebPath, QString()));
    if (!url)
        return;
    settings.writeString(SettingsKeys::PublicationSection, SettingsKeys::WebPath, *url);
    HttpFile.URL = *url;
    HttpFile.Get();
}

void TForm1::HttpFileDocBegin(THttpClient*) {
    HttpFile.ReceiveStream = nullptr;
    downloadFile_.reset();
    downloadRefused_ = true;
    // Named after the address entered, whatever a relocation made of it.
    const QString target = downloadFilePath(ProgramDirectory, HttpFile.URL);
    auto file =
        std::make_unique<QTemporaryFile>(ProgramDirectory + QStringLiteral(".download-XXXXXX"));
    if (!file->open())
        throw std::runtime_error(FeedMessages::cannotCreateFile(target).toStdString());
    downloadRefused_ = false;
    downloadFile_ = std::move(file);
    HttpFile.ReceiveStream = downloadFile_.get();
}

void TForm1::HttpFileDocEnd(THttpClient*) {
    if (HttpFile.ReceiveStream) {
        HttpFile.ReceiveStream->close();
        HttpFile.ReceiveStream = nullptr;
    }
}

void TForm1::HttpFileRequestDone(THttpClient*, THttpRequest, quint16 Error) {
    // Whatever the outcome, the temporary file goes with this request.
    const std::unique_ptr<QTemporaryFile> body = std::move(downloadFile_);
    HttpFile.ReceiveStream = nullptr;
    if (std::exchange(downloadRefused_, false))
        return;

    const TDownloadResponse response{
        Error, HttpFile.StatusCode(), HttpFile.ReasonPhrase(),
        netmsg::withErrorNumber(TAsyncSocket::errorDescription(Error), Error), body != nullptr};
    if (const QString failure = downloadFailure(response); !failure.isEmpty()) {
        // An unattended run says so too: it is why the run stops there.
        dialogs().showMessage(DownloadMessages::downloadFailed(HttpFile.URL, failure));
        return;
    }

    const QString target = downloadFilePath(ProgramDirectory, HttpFile.URL);
    const QByteArray bytes = readWholeFile(body->fileName());
    // Every chunk received must be in the file; a short write is a file that
    // could not be made.
    if (bytes.size() != HttpFile.RcvdCount())
        throw std::runtime_error(FeedMessages::cannotCreateFile(target).toStdString());
    // The downloaded text alone is judged: a backup beside the target belongs
    // to an earlier download and must not pass for this one.
    if (!hasFeedTags(bytes)) {
        dialogs().showMessage(AppMessages::notProperlyFormatted());
        return;
    }
    writeFileAtomically(target, bytes, FeedMessages::cannotCreateFile(target));
    openCheckedFeed(target, false);
}
