#pragma once
// The writer: the document as text, its bytes, and saving to a destination.
//
// What comes out is always well-formed XML 1.0 that reads back with the same
// text: characters XML 1.0 does not allow are left out, a character above
// U+FFFF is one character reference, a CDATA section is split where its text
// holds "]]>" or a character the output encoding cannot hold, and a ">" after
// "]]" in text or an attribute value is "&gt;". Inside xml:space="preserve"
// no layout is written, since the reader keeps whitespace there.

#include "xml/XmlDom.h"

#include <functional>
#include <string>
#include <string_view>

// For a document: the text of each child, joined by CR LF. For another node:
// its own markup, an element being laid out as the root is.
std::u16string xmlText(const TXmlNode& node);

// The encoding a document's bytes are written in, which is how the file will
// be decoded when it is read again: UTF-16 (OutCharSet) when OutCharSet is
// UTF-16 and the declaration names UTF-16 or no encoding; ISO-8859-1 when it
// names ISO-8859-1; otherwise UTF-8. A declared set that iconv knows (see
// XmlCharset.h) is written in that set; this then gives ceUTF8.
TXmlCharEncoding outputEncoding(const TXmlDocument& document);

// Encodes text. ISO-8859-1 (and ceUnknown) throws EXmlConvertError on a
// character above U+00FF; the UTF-16 forms start with their byte order mark,
// UTF-8 only when signature is true.
std::string encodeXmlText(std::u16string_view text, TXmlCharEncoding encoding, bool signature);

// The bytes of a feed file: xmlText in the encoding its declaration names.
std::string xmlBytes(const TXmlDocument& document);

// The bytes of xmlBytes handed to sink piece by piece as they are made (in
// order; pieces of about 256 KB), so that a large document never has its
// whole text in memory at once. The sink must not throw.
void writeXmlBytes(const TXmlDocument& document,
                   const std::function<void(std::string_view)>& sink);
// Replaces the file at path with bytes, whole or not at all: a temporary file
// beside the target is renamed over it, keeping the target's permissions and
// following a symbolic link to the file it names. Throws EXmlCreateFileError
// (naming path) when the target or its directory cannot be written; the old
// content then stays.
void writeFileWhole(const std::string& path, std::string_view bytes);

// saveToSource of TXmlObjModel: a local path or "file://" name is written
// with writeFileWhole and gives true. A destination holding "ftp://" gives the
// result of putBytesByFtp (XmlFtp.h) for what follows its first six
// characters, whose messages go to errors (when given).
bool saveToSource(const TXmlDocument& document, const std::string& destination,
                  const std::string& userName, const std::string& password, TXmlErrorList* errors);
