#pragma once
// TXmlParser: reads a source (local file, "file://", "http://", "ftp://" or a
// memory buffer), decodes it, parses XML 1.0 and reports each structure to a
// sink. The tree builder of TXmlObjModel is the sink in the program.

#include "xml/XmlTypes.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Receives what the parser recognises, in document order. A sink may throw
// (the tree builder throws TXmlDOMException); the parser lets it travel up.
class TXmlReaderSink {
public:
    virtual ~TXmlReaderSink() = default;
    // A start tag has ended. Attributes in source order, ATTLIST defaults
    // appended after them. When empty is true ("/>") no endElement follows.
    virtual void startElement(const std::u16string& name, std::vector<TXmlAttr>&& attrs,
                              bool empty) = 0;
    virtual void endElement() = 0;
    // Character data after whitespace handling; never empty when NormalizeData is on.
    virtual void text(std::u16string&& data) = 0;
    // A non-empty CDATA section, taken literally, or character data that
    // touches an empty one (as in "<![CDATA[]]>&#8364;").
    virtual void cdata(std::u16string&& data) = 0;
    // Comes right before a text or cdata event whose piece touches the one
    // reported before it with only CDATA delimiters between (as in
    // "a]]>&#8364;<![CDATA[b"): the writer splits one section that way, so
    // the pieces are one text.
    virtual void joinNextCharacterData() {}
    virtual void comment(std::u16string&& data) = 0;
    // The same three with the parser's own buffer, valid during the call; a
    // sink that keeps its own form of the text saves a copy here.
    virtual void textView(std::u16string_view data) { text(std::u16string(data)); }
    virtual void cdataView(std::u16string_view data) { cdata(std::u16string(data)); }
    virtual void commentView(std::u16string_view data) { comment(std::u16string(data)); }
    // The XML declaration arrives here with target "xml" and the rebuilt data.
    virtual void processingInstruction(const std::u16string& target, std::u16string&& data) = 0;
    // The DOCTYPE: between startDocType and endDocType come the declarations,
    // comments and processing instructions of the internal subset only (the
    // external subset is used, not reported).
    virtual void startDocType(const std::u16string& name, const std::u16string& publicId,
                              const std::u16string& systemId) = 0;
    // One markup declaration as its markup text, e.g. <!ENTITY a "b">.
    virtual void declaration(TXmlDeclKind kind, std::u16string&& markup) = 0;
    virtual void endDocType() = 0;
};

struct TXmlReaderSettings {
    std::size_t bufferSize = 8192;
    bool normalizeData = true;
    // Asked for each element name; true switches whitespace preserving on.
    std::function<bool(const std::u16string& elementName)> onPreserveSpace;
    std::string userName; // FTP sources
    std::string password;
    // A fetch of an internet source or external DTD that makes no progress for
    // this long fails as a fetch that produced nothing.
    long stallTimeoutSeconds = 15;
    // Off: the external DTD subset and external parameter entities are not
    // read, as if they could not be had, and nothing is recorded for them (a
    // checker that must not reach out to the addresses a file names).
    bool readExternalDtd = true;
    // All external DTD pieces of one load share this much time (so a document
    // naming slow servers cannot hold a load, the start-up with it, for long);
    // a fetch still running when it is used up, and every later one, fails as
    // a fetch that produced nothing.
    long externalFetchBudgetMs = 30000;
};

class TXmlParser {
public:
    // errors receives the message lines of the run; tempFiles receives the
    // paths of temporary files made for internet sources (their owner deletes
    // them when it is destroyed).
    TXmlParser(const TXmlReaderSettings& settings, TXmlReaderSink& sink, TXmlErrorList& errors,
               std::vector<std::string>& tempFiles);
    ~TXmlParser();
    TXmlParser(const TXmlParser&) = delete;
    TXmlParser& operator=(const TXmlParser&) = delete;

    // Both return true when the run added no error line.
    bool parseSource(const std::string& source);
    bool parseMemory(const char* bytes, std::size_t length);

    // False when the top-level source could not be opened or fetched at all.
    bool sourceOpened() const;
    // The encoding in which the input was finally decoded.
    TXmlCharEncoding encoding() const;

private:
    struct Impl;
    Impl* impl_;
};
