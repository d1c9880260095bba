#pragma once
// Where the reader's bytes come from: classifying a source text, resolving a
// name against the document that refers to it, and copying internet sources
// into temporary files with libcurl.

#include "xml/XmlParser.h"
#include "xml/XmlTypes.h"

#include <string>

enum class TXmlSourceKind { Local, Http, Ftp };

// By prefix, ignoring case: "http://", "ftp://", anything else is local
// ("file://" is removed by localPath).
TXmlSourceKind classifySource(const std::string& source);
// The local path a local source names.
std::string localPath(const std::string& source);

// Splits a resolved source into its location (up to and including the last
// "/") and its name.
void splitLocation(const std::string& source, std::string& location, std::string& name);

// Resolves name (as written in a DOCTYPE) against the location of the
// referring document. Fails with "Cannot mix absolute local path %s with
// internet path %s", appended to errors, and returns an empty text.
std::string resolveSource(const std::string& name, const std::string& baseLocation,
                          TXmlErrorList& errors);

// Copies an http:// or ftp:// source into a new temporary file named
// "QuilloXML..." in the temporary directory. Returns its path, or an empty
// text after appending the failure messages to errors. A transfer not done
// within totalTimeoutMs (when above 0) fails as one that stalled.
std::string fetchToTempFile(const std::string& url, TXmlSourceKind kind,
                            const TXmlReaderSettings& settings, TXmlErrorList& errors,
                            long totalTimeoutMs = 0);

// Sets libcurl up for the whole program once; false when it cannot be.
bool curlReady();

std::u16string utf8ToUtf16(const std::string& s);
std::string utf16ToUtf8(const std::u16string& s);
