#pragma once
// The round-trip property of the engine, shared by the tests and the fuzz
// target: whenever a load succeeds, writing the document with the feed
// writer's settings and loading the result succeeds too and gives the same
// tree. Checked as the document was declared and re-declared as UTF-8,
// ISO-8859-1 and windows-1252, where the set holds every name, comment and
// processing instruction (elsewhere the writer is allowed its "?"). A tree
// holding characters XML 1.0 does not allow is left out: the writer drops
// them.

#include "xml/XmlCharset.h"
#include "xml/XmlDom.h"
#include "xml/XmlTreeBuilder.h"
#include "xml/XmlWriter.h"

#include <cstddef>
#include <memory>
#include <string>

namespace roundtrip {

inline void field(std::u16string& out, char16_t tag, const std::u16string& v) {
    out += tag;
    out += std::u16string(1, char16_t(v.size() & 0xFFFF));
    out += v;
}

// The whole tree as one text: kind, name, value and attributes of every
// node, with its depth.
inline std::u16string dump(const TXmlDocument& doc) {
    std::u16string out;
    const TXmlNode* n = &doc;
    int depth = 0;
    for (;;) {
        out += char16_t(u'0' + depth % 64);
        out += char16_t(u'A' + n->nodeType());
        field(out, u'n', n->nodeName());
        field(out, u'v', n->nodeValue());
        if (n->nodeType() == DOCUMENT_TYPE_NODE) {
            auto* d = static_cast<const TXmlDocumentType*>(n);
            field(out, u'p', d->publicId());
            field(out, u's', d->systemId());
        }
        if (const TXmlNamedNodeMap* attrs = n->attributes())
            for (const auto& a : attrs->items()) {
                field(out, u'a', a->nodeName());
                field(out, u'=', a->nodeValue());
            }
        if (TXmlNodeLinks::first(*n)) {
            n = TXmlNodeLinks::first(*n);
            ++depth;
            continue;
        }
        while (n != &doc && !TXmlNodeLinks::next(*n)) {
            n = TXmlNodeLinks::parent(*n);
            --depth;
        }
        if (n == &doc)
            return out;
        n = TXmlNodeLinks::next(*n);
    }
}

// Whether some text holds a character XML 1.0 does not allow (the reader
// takes them, the writer leaves them out), or a comment, processing
// instruction or declaration holds a carriage return (only an entity's
// character reference puts one there, and that markup has no way to write
// it): such a tree cannot come back.
inline bool hasForbidden(const TXmlDocument& doc) {
    auto bad = [](const std::u16string& s) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            char16_t c = s[i];
            if ((c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE || c == 0xFFFF)
                return true;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
                s[i + 1] <= 0xDFFF) {
                ++i;
                continue;
            }
            if (c >= 0xD800 && c <= 0xDFFF)
                return true;
        }
        return false;
    };
    const TXmlNode* n = &doc;
    for (;;) {
        if (bad(n->nodeName()) || bad(n->nodeValue()))
            return true;
        TXmlNodeType t = n->nodeType();
        if (t != TEXT_NODE && t != CDATA_SECTION_NODE &&
            n->nodeValue().find(u'\r') != std::u16string::npos)
            return true;
        if (const TXmlNamedNodeMap* attrs = n->attributes())
            for (const auto& a : attrs->items())
                if (bad(a->nodeName()) || bad(a->nodeValue()))
                    return true;
        if (TXmlNodeLinks::first(*n)) {
            n = TXmlNodeLinks::first(*n);
            continue;
        }
        while (n != &doc && !TXmlNodeLinks::next(*n))
            n = TXmlNodeLinks::parent(*n);
        if (n == &doc)
            return false;
        n = TXmlNodeLinks::next(*n);
    }
}

// The encoding the document's declaration names, "" when none.
inline std::u16string declared(const TXmlDocument& doc) {
    TXmlNodePtr first = doc.firstChild();
    if (!first || first->nodeType() != PROCESSING_INSTRUCTION_NODE || first->nodeName() != u"xml")
        return u"";
    const std::u16string& data = first->nodeValue();
    std::size_t at = data.find(u"encoding=\"");
    if (at == std::u16string::npos)
        return u"";
    std::size_t end = data.find(u'"', at + 10);
    return data.substr(at + 10, end - at - 10);
}

// Whether every text the writer must write as itself (names, comments,
// processing instructions, declarations) is held by the declared set.
inline bool heldThroughout(const TXmlDocument& doc) {
    std::u16string name = declared(doc);
    for (char16_t& c : name)
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - 32);
    bool latin1 = name == u"ISO-8859-1";
    std::unique_ptr<TXmlCharset> charset;
    if (!latin1 && !name.empty() && name != u"UTF-8")
        charset = TXmlCharset::open(name);
    if (doc.settings().OutCharSet == ceUTF16LE || doc.settings().OutCharSet == ceUTF16BE)
        return true;
    auto holds = [&](const std::u16string& s) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            char32_t c = s[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size()) {
                c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
                ++i;
            }
            if (latin1 ? c > 0xFF : (charset && !charset->holds(c)))
                return false;
        }
        return true;
    };
    const TXmlNode* n = &doc;
    for (;;) {
        TXmlNodeType t = n->nodeType();
        if (!holds(n->nodeName()))
            return false;
        if (t != TEXT_NODE && t != CDATA_SECTION_NODE && t != ATTRIBUTE_NODE &&
            !holds(n->nodeValue()))
            return false;
        if (t == DOCUMENT_TYPE_NODE) {
            auto* d = static_cast<const TXmlDocumentType*>(n);
            if (!holds(d->publicId()) || !holds(d->systemId()))
                return false;
        }
        if (const TXmlNamedNodeMap* attrs = n->attributes())
            for (const auto& a : attrs->items())
                if (!holds(a->nodeName()))
                    return false;
        if (TXmlNodeLinks::first(*n)) {
            n = TXmlNodeLinks::first(*n);
            continue;
        }
        while (n != &doc && !TXmlNodeLinks::next(*n))
            n = TXmlNodeLinks::parent(*n);
        if (n == &doc)
            return true;
        n = TXmlNodeLinks::next(*n);
    }
}

// Declares encoding (keeping the declaration's standalone) or, for null,
// leaves the document as it was read.
inline void redeclare(TXmlDocument& doc, const char16_t* encoding) {
    if (!encoding)
        return;
    std::u16string data = u"version=\"1.0\" encoding=\"" + std::u16string(encoding) + u"\"";
    TXmlNodePtr first = doc.firstChild();
    if (first && first->nodeType() == PROCESSING_INSTRUCTION_NODE && first->nodeName() == u"xml") {
        std::u16string old = first->nodeValue();
        std::size_t at = old.find(u" standalone=");
        if (at != std::u16string::npos)
            data += old.substr(at);
        first->setNodeValue(data);
    } else {
        doc.insertBefore(doc.createProcessingInstruction(u"xml", data), first);
    }
}

// Empty when the property holds for bytes; else what went wrong and the
// bytes written.
inline std::string fault(const char* bytes, std::size_t size) {
    static const char16_t* const encodings[] = {nullptr, u"UTF-8", u"ISO-8859-1", u"windows-1252"};
    for (const char16_t* encoding : encodings) {
        TXmlObjModel model;
        if (!model.loadFromMemory(bytes, size))
            return {};
        TXmlDocument& doc = *model.document();
        if (hasForbidden(doc))
            return {};
        redeclare(doc, encoding);
        if (!heldThroughout(doc))
            continue;
        std::u16string before = dump(doc);
        std::string written = xmlBytes(doc);
        TXmlObjModel again;
        if (!again.loadFromMemory(written.data(), written.size()))
            return "does not load: " + written;
        if (dump(*again.document()) != before)
            return "gives another tree: " + written;
    }
    return {};
}

} // namespace roundtrip
