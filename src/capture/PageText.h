#pragma once
// The text of a captured page: the body chunks as the HTTP client delivered
// them, joined into the page's bytes, and those bytes decoded to Unicode in
// the page's own character set.
//
// Plain functions over values; nothing here keeps state or touches widgets.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

// The text of one body chunk: its bytes up to the first zero byte, and never
// more than `len` bytes (a chunk without a zero byte is taken whole).
QByteArray chunkText(const char* buffer, int len);

// The page's bytes: the chunks in order, with nothing put between them, so a
// page captures the same however the network split it.
QByteArray joinChunks(const QByteArrayList& chunks);

// The charset parameter of a Content-Type value ("text/html; charset=UTF-8"),
// quotes removed; empty when there is none.
QByteArray charsetOfContentType(const QString& contentType);

// The character set named by the page's first META tag that names one a
// decoder knows, either as charset="..." or as http-equiv="Content-Type" with
// "charset=..." in its content, spelt as pageCharset() returns it; empty when
// there is none. Comments are skipped; a UTF-16 name is read as UTF-8, since
// a page whose META tag could be read this way is not UTF-16.
QByteArray metaCharset(const QByteArray& page);

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool isValidUtf8(const QByteArray& bytes);

// The name of the character set the page is read in: the Content-Type's
// charset, else the page's META charset, else "UTF-8" when the bytes are valid
// UTF-8, else "windows-1252". A declared name that no decoder knows counts as
// not declared. Names of ISO-8859-1 and US-ASCII are read as windows-1252, as
// web browsers do, so the typographic quotes such pages hold survive.
QByteArray pageCharset(const QByteArray& page, const QString& contentType);

// The page decoded in pageCharset(). A UTF-8 byte order mark is dropped; bytes
// that are not valid in the chosen set become U+FFFD.
QString decodePage(const QByteArray& page, const QString& contentType);

// The bytes decoded in the named character set (a name pageCharset() returns).
QString decodeAs(const QByteArray& bytes, const QByteArray& charset);
