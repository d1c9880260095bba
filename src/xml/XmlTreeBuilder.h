#pragma once
// Internal to the engine: the tree builder the loads use, and the raw links
// of the tree for the engine's own walks (the writer, the builder, copies).
// Code above the engine uses XmlDom.h alone.
//
// Raw links do not own: they are valid while the tree holds the nodes, and
// a walk must not change the tree under them.

#include "xml/XmlDom.h"
#include "xml/XmlParser.h"

// The links of a node without reference counting.
struct TXmlNodeLinks {
    static TXmlNode* parent(const TXmlNode& n) { return n.parent_; }
    static TXmlNode* first(const TXmlNode& n) { return n.firstRaw(); }
    static TXmlNode* last(const TXmlNode& n) { return n.lastRaw(); }
    static TXmlNode* next(const TXmlNode& n) { return n.next_.get(); }
    static TXmlNode* prev(const TXmlNode& n) { return n.prev_; }
    static TXmlOwnerLink* owner(const TXmlNode& n) { return n.owner_; }
    // Some reference holds the node.
    static bool held(const TXmlNode& n) { return n.refs_ != 0; }
    // The value of any node kind; character data is widened into scratch
    // (which must outlive the use) instead of keeping a widened copy.
    static const std::u16string& value(const TXmlNode& n, std::u16string& scratch) {
        switch (n.nodeType()) {
        case TEXT_NODE:
        case CDATA_SECTION_NODE:
        case COMMENT_NODE:
            scratch.clear();
            static_cast<const TXmlCharacterData&>(n).packed().widenInto(scratch);
            return scratch;
        case ATTRIBUTE_NODE:
            scratch.clear();
            static_cast<const TXmlAttribute&>(n).packed().widenInto(scratch);
            return scratch;
        default:
            return n.nodeValue();
        }
    }
    // About the bytes a node's value takes when written, for sizing the
    // output: packed text beyond ASCII is mostly written as character
    // references, several bytes each; an estimate that is too large costs
    // only address space.
    static std::size_t valueSize(const TXmlNode& n) {
        switch (n.nodeType()) {
        case TEXT_NODE:
        case CDATA_SECTION_NODE:
        case COMMENT_NODE:
            return writtenSize(static_cast<const TXmlCharacterData&>(n).packed());
        case ATTRIBUTE_NODE:
            return writtenSize(static_cast<const TXmlAttribute&>(n).packed());
        default:
            return n.nodeValue().size();
        }
    }
    static std::size_t writtenSize(const TXmlPackedText& t) {
        return t.ascii() ? t.bytes().size() : 4 * t.bytes().size();
    }
    // About the bytes one node takes when written, without its children.
    static std::size_t writtenSize(const TXmlNode& n) {
        std::size_t size = valueSize(n) + 2 * n.nodeName().size() + 16;
        if (const TXmlNamedNodeMap* attrs = n.attributes())
            for (const auto& a : attrs->items())
                size += a->nodeName().size() + valueSize(*a) + 4;
        return size;
    }
    // The sum of writtenSize over the nodes a load made, kept by the
    // document until it is cleared; 0 for a document that was not loaded.
    static std::size_t loadedSize(const TXmlNode& document);

    // Appends child to parent without the checks of appendChild (the reader
    // has already checked names and nesting).
    static void append(TXmlNode& parent, TXmlNodePtr child) {
        parent.linkBefore(std::move(child), nullptr);
    }
    // Appends text to a text or CDATA node.
    static void appendData(TXmlNode& n, std::u16string_view text) {
        auto& d = static_cast<TXmlCharacterData&>(n);
        d.appendPacked(d.data_, text);
    }
    static void reserveAttributes(TXmlElement& e, std::size_t n) { e.attrMap().attrs_.reserve(n); }
};

// The reader's sink that turns each structure into a node of the document:
// appended to the innermost open element (the document at first).
class TXmlTreeBuilder : public TXmlReaderSink {
public:
    explicit TXmlTreeBuilder(TXmlDocument& document);

    void startElement(const std::u16string& name, std::vector<TXmlAttr>&& attrs,
                      bool empty) override;
    void endElement() override;
    void text(std::u16string&& data) override;
    void cdata(std::u16string&& data) override;
    void joinNextCharacterData() override { join_ = true; }
    void comment(std::u16string&& data) override;
    void textView(std::u16string_view data) override;
    void cdataView(std::u16string_view data) override;
    void commentView(std::u16string_view data) override;
    void processingInstruction(const std::u16string& target, std::u16string&& data) override;
    void startDocType(const std::u16string& name, const std::u16string& publicId,
                      const std::u16string& systemId) override;
    void declaration(TXmlDeclKind kind, std::u16string&& markup) override;
    void endDocType() override;

private:
    void add(TXmlNodePtr node);
    // Appends to the open node's last child when join_ is set and that child
    // is a CDATA section; true when it did.
    bool joined(std::u16string_view data);
    TXmlDocument& doc_;
    TXmlOwnerLink* owner_;
    TXmlNode* open_;
    bool join_ = false;
};
