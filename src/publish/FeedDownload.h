#pragma once
// The file a download of a published feed is stored in: named after the last
// part of its URL, in the program directory, and never one of the program's
// own files there; and what a finished request tells about the download.

#include <QString>

// The characters after the last "/" of url; the whole url when it has no "/"
// or nothing follows its last "/". Nothing is decoded or removed (a query
// stays in the name).
QString URLFileName(const QString& url);

// Whether name is a file the program keeps in its directory ("quillo.ini",
// "ftpsites.txt"), ignoring case.
bool isProgramFileName(const QString& name);

// programDir + URLFileName(url), the file the download is written to. Throws
// std::runtime_error "Cannot create file <that path>" when the name is one of
// the program's own files or does not name a file in programDir ("", ".",
// "..", or a name holding "/").
QString downloadFilePath(const QString& programDir, const QString& url);

// The fields of the download's HTTP client once its request is over.
struct TDownloadResponse {
    quint16 Error = 0; // the socket error the request ended with, 0 for none
    int StatusCode = 0;
    QString ReasonPhrase;
    // The socket error's description with its number: the reason of a
    // connection that broke after the response had begun (the reason phrase
    // is still the status line's then).
    QString ErrorText;
    bool BodyReceived = false;
};

// Why the request gave no document to check, or empty when it gave one: a
// socket error, a status other than 2xx (0 is a response without a header,
// whose body is checked like any other), or no body at all. The reason has
// no full stop of its own.
QString downloadFailure(const TDownloadResponse& response);
