#pragma once
// The file a download of a published feed is stored in: named after the last
// part of its URL, in the program directory, and never one of the program's
// own files there.

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
