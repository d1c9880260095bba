#pragma once
// A sink that writes what the reader reports as one line of text, so that
// tests can compare input against expected events in tables.

#include "xml/XmlParser.h"
#include "xml/XmlSource.h"

#include <string>
#include <vector>

class RecordingSink : public TXmlReaderSink {
public:
    std::string events;

    void startElement(const std::u16string& name, std::vector<TXmlAttr>&& attrs,
                      bool empty) override {
        events += "<" + utf16ToUtf8(name);
        for (const TXmlAttr& a : attrs)
            events += " " + utf16ToUtf8(a.name) + "='" + utf16ToUtf8(a.value) + "'";
        events += empty ? "/>" : ">";
    }
    void endElement() override { events += "</>"; }
    void text(std::u16string&& data) override { events += "T[" + utf16ToUtf8(data) + "]"; }
    void cdata(std::u16string&& data) override { events += "C[" + utf16ToUtf8(data) + "]"; }
    void joinNextCharacterData() override { events += "+"; }
    void comment(std::u16string&& data) override { events += "!--[" + utf16ToUtf8(data) + "]"; }
    void processingInstruction(const std::u16string& target, std::u16string&& data) override {
        events += "?" + utf16ToUtf8(target) + "[" + utf16ToUtf8(data) + "]";
    }
    void startDocType(const std::u16string& name, const std::u16string& publicId,
                      const std::u16string& systemId) override {
        events += "DOCTYPE " + utf16ToUtf8(name) + " '" + utf16ToUtf8(publicId) + "' '" +
                  utf16ToUtf8(systemId) + "'{";
    }
    void declaration(TXmlDeclKind kind, std::u16string&& markup) override {
        static const char* const kinds[] = {"ELEMENT", "ATTLIST", "ENTITY", "NOTATION"};
        events +=
            std::string("D-") + kinds[static_cast<int>(kind)] + "[" + utf16ToUtf8(markup) + "]";
    }
    void endDocType() override { events += "}"; }
};

struct ParseResult {
    bool ok = false;
    bool opened = false;
    TXmlCharEncoding encoding = ceUnknown;
    std::string events;
    std::vector<std::string> errors;
    std::vector<std::string> tempFiles;
    std::vector<std::u16string> texts; // raw text events, for exact code units
};

class TextKeepingSink : public RecordingSink {
public:
    std::vector<std::u16string>* texts = nullptr;
    void text(std::u16string&& data) override {
        texts->push_back(data);
        RecordingSink::text(std::move(data));
    }
};

inline ParseResult collect(bool ok, TXmlParser& parser, TextKeepingSink& sink,
                           const TXmlErrorList& errors, std::vector<std::string>& temps,
                           ParseResult r) {
    r.ok = ok;
    r.opened = parser.sourceOpened();
    r.encoding = parser.encoding();
    r.events = sink.events;
    for (const auto& e : errors)
        r.errors.push_back(utf16ToUtf8(e));
    r.tempFiles = temps;
    return r;
}

inline ParseResult parseText(const std::string& bytes, TXmlReaderSettings settings = {}) {
    TextKeepingSink sink;
    ParseResult r;
    sink.texts = &r.texts;
    TXmlErrorList errors;
    std::vector<std::string> temps;
    TXmlParser parser(settings, sink, errors, temps);
    bool ok = parser.parseMemory(bytes.data(), bytes.size());
    return collect(ok, parser, sink, errors, temps, std::move(r));
}

inline ParseResult parseFile(const std::string& source, TXmlReaderSettings settings = {}) {
    TextKeepingSink sink;
    ParseResult r;
    sink.texts = &r.texts;
    TXmlErrorList errors;
    std::vector<std::string> temps;
    TXmlParser parser(settings, sink, errors, temps);
    bool ok = parser.parseSource(source);
    return collect(ok, parser, sink, errors, temps, std::move(r));
}

// The single error line of a memory parse, or "" when it succeeded.
inline std::string errorOf(const ParseResult& r) {
    std::string all;
    for (const auto& e : r.errors)
        all += (all.empty() ? "" : "\n") + e;
    return all;
}
