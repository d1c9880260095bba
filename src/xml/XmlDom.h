#pragma once
// The in-memory XML document: nodes, the document, and TXmlObjModel, the
// component that owns the feed document, loads it and writes it back.
//
// Ownership. Nodes are reference counted (TXmlNodePtr). A parent holds its
// children; the parent link is not owning. Node lists and attribute maps hold
// references to their members, so a node removed from the tree stays alive
// while anyone holds it. Every node keeps a link to its document that does
// not own it: ownerDocument() is null once the document is gone. Nodes and
// their links are used on one thread at a time.
//
// Storage. Element and attribute names are held once per document (the link
// keeps them), character data as compact 8-bit text that nodeValue() widens
// on first use.
//
// Missing nodes. Navigation from a missing (null) node yields a missing node,
// and the text of a missing node is empty. Members cannot be called on null,
// so code above the engine walks the tree with the null-safe free functions at
// the end of this header (firstChildOf, nextSiblingOf, childAt, textOf, ...).
//
// Names. The name match of selectNodes, getNamedItem, getAttribute,
// setAttribute and TXmlElement::getElementsByTagName compares code unit for
// code unit, folding the ASCII letters a-z to upper case when the document's
// IgnoreCase is on. TXmlDocument::getElementsByTagName always compares
// exactly.
//
// Walks over the tree (text, queries, copies, the writer, destruction) use no
// recursion, so any depth of nesting is safe.

#include "xml/XmlTypes.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

class TXmlNode;
class TXmlElement;
class TXmlAttribute;
class TXmlDocument;
struct TXmlOwnerLink;

void xmlRetain(TXmlNode* node) noexcept;
void xmlRelease(TXmlNode* node) noexcept;

// A counted reference to a node. The count lives in the node itself (it is
// not atomic: see Ownership above); the node is destroyed when its last
// reference goes. A reference converts to one of a base kind, as a pointer
// does; xmlStaticCast goes the other way.
template <typename T> class TXmlRef {
public:
    using element_type = T;
    TXmlRef() noexcept = default;
    TXmlRef(std::nullptr_t) noexcept {}
    explicit TXmlRef(T* node) noexcept : p_(node) {
        if (p_)
            xmlRetain(p_);
    }
    TXmlRef(const TXmlRef& other) noexcept : TXmlRef(other.p_) {}
    TXmlRef(TXmlRef&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    TXmlRef(const TXmlRef<U>& other) noexcept : TXmlRef(other.get()) {}
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    TXmlRef(TXmlRef<U>&& other) noexcept : p_(other.detach()) {}
    ~TXmlRef() {
        if (p_)
            xmlRelease(p_);
    }
    TXmlRef& operator=(TXmlRef other) noexcept {
        swap(other);
        return *this;
    }
    TXmlRef& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept { TXmlRef().swap(*this); }
    void swap(TXmlRef& other) noexcept {
        T* old = p_;
        p_ = other.p_;
        other.p_ = old;
    }
    // Gives up the reference without releasing it.
    T* detach() noexcept {
        T* p = p_;
        p_ = nullptr;
        return p;
    }

private:
    T* p_ = nullptr;
};

template <typename A, typename B> bool operator==(const TXmlRef<A>& a, const TXmlRef<B>& b) {
    return a.get() == b.get();
}
template <typename A> bool operator==(const TXmlRef<A>& a, std::nullptr_t) {
    return !a;
}
// A reference of a derived kind to a node known to be of that kind.
template <typename T, typename U> TXmlRef<T> xmlStaticCast(const TXmlRef<U>& r) {
    return TXmlRef<T>(static_cast<T*>(r.get()));
}

using TXmlNodePtr = TXmlRef<TXmlNode>;
using TXmlElementPtr = TXmlRef<TXmlElement>;
using TXmlAttributePtr = TXmlRef<TXmlAttribute>;
using TXmlDocumentPtr = TXmlRef<TXmlDocument>;

// 16-bit text kept as 8-bit bytes: UTF-8, a surrogate without its partner
// as the three bytes UTF-8 would give its code point, so that every 16-bit
// text comes back unchanged.
class TXmlPackedText {
public:
    TXmlPackedText() = default;
    explicit TXmlPackedText(std::u16string_view text) { assign(text); }
    TXmlPackedText(const TXmlPackedText& other);
    TXmlPackedText& operator=(const TXmlPackedText&) = delete;
    ~TXmlPackedText();

    void assign(std::u16string_view text);
    void append(std::u16string_view text);
    // The 16-bit text appended to out.
    void widenInto(std::u16string& out) const;
    bool empty() const { return size_ == 0; }
    // Every byte is ASCII: the 16-bit text has as many units as bytes.
    bool ascii() const { return ascii_; }
    std::string_view bytes() const { return {bytes_, size_}; }

private:
    char* bytes_ = nullptr; // from the node pool
    std::uint32_t size_ = 0;
    bool ascii_ = true;
};

// W3C DOM node type numbers; the two markup declarations without a DOM number
// get the next free ones.
enum TXmlNodeType {
    ELEMENT_NODE = 1,
    ATTRIBUTE_NODE = 2,
    TEXT_NODE = 3,
    CDATA_SECTION_NODE = 4,
    ENTITY_REFERENCE_NODE = 5,
    ENTITY_NODE = 6, // an <!ENTITY> declaration inside a document type
    PROCESSING_INSTRUCTION_NODE = 7,
    COMMENT_NODE = 8,
    DOCUMENT_NODE = 9,
    DOCUMENT_TYPE_NODE = 10,
    DOCUMENT_FRAGMENT_NODE = 11,
    NOTATION_NODE = 12,     // a <!NOTATION> declaration
    ELEMENT_DECL_NODE = 13, // an <!ELEMENT> declaration
    ATTLIST_DECL_NODE = 14, // an <!ATTLIST> declaration
};

// A snapshot of nodes: later tree changes do not alter it.
class TXmlNodeList {
public:
    TXmlNodeList() = default;
    explicit TXmlNodeList(std::vector<TXmlNodePtr> nodes) : nodes_(std::move(nodes)) {}

    long length() const { return static_cast<long>(nodes_.size()); }
    // Null when i is negative or not below length().
    TXmlNodePtr item(long i) const;

    const std::vector<TXmlNodePtr>& nodes() const& { return nodes_; }
    // A temporary list hands its nodes over, so a loop over
    // node->childNodes().nodes() stays valid.
    std::vector<TXmlNodePtr> nodes() && { return std::move(nodes_); }
    void add(TXmlNodePtr node) { nodes_.push_back(std::move(node)); }

private:
    std::vector<TXmlNodePtr> nodes_;
};

// The ordered attributes of one element.
class TXmlNamedNodeMap {
public:
    long length() const { return static_cast<long>(attrs_.size()); }
    TXmlAttributePtr item(long i) const;
    // The first attribute whose name passes the name match; "*" gives the
    // first attribute; null when none.
    TXmlAttributePtr getNamedItem(const std::u16string& name) const;
    const std::vector<TXmlAttributePtr>& items() const { return attrs_; }

private:
    friend class TXmlElement;
    friend struct TXmlNodeLinks;
    explicit TXmlNamedNodeMap(const TXmlElement* owner) : owner_(owner) {}
    const TXmlElement* owner_;
    std::vector<TXmlAttributePtr> attrs_;
};

class TXmlNode {
public:
    virtual ~TXmlNode();
    // Nodes live in the engine's node pool.
    static void* operator new(std::size_t bytes);
    static void operator delete(void* p, std::size_t bytes) noexcept;
    TXmlNode(const TXmlNode&) = delete;
    TXmlNode& operator=(const TXmlNode&) = delete;

    TXmlNodeType nodeType() const { return static_cast<TXmlNodeType>(type_); }
    virtual const std::u16string& nodeName() const;
    virtual const std::u16string& nodeValue() const;
    // Changes the value of character data, processing instructions and
    // attributes; ignored by the other kinds.
    virtual void setNodeValue(std::u16string value);

    // The document this node belongs to (the document itself for a
    // document); null once that document is destroyed.
    TXmlDocumentPtr ownerDocument() const;
    // Null for the document and for detached nodes; an attribute's parent is
    // its element.
    TXmlNodePtr parentNode() const;
    TXmlNodeList childNodes() const;
    TXmlNodePtr firstChild() const;
    TXmlNodePtr lastChild() const;
    TXmlNodePtr nextSibling() const { return next_; }
    TXmlNodePtr previousSibling() const;
    bool hasChildNodes() const { return firstRaw() != nullptr; }
    virtual bool hasAttributes() const { return false; }
    // Null for every node but an element that has had an attribute.
    virtual const TXmlNamedNodeMap* attributes() const { return nullptr; }

    // Every text and CDATA value of this node and its descendants in document
    // order, one space between non-empty pieces.
    std::u16string text() const;
    // One plain name: the direct child elements passing the name match. "*"
    // gives all child elements and "/" the document. Any other expression
    // gives an empty list.
    TXmlNodeList selectNodes(const std::u16string& expr) const;

    // The new node must not be null. A document fragment is not inserted
    // itself: deep copies of its children are. A node that still has a parent
    // is detached from it first. DOM errors: 3 when this node cannot hold
    // children or the new node cannot be a child here (a document, an
    // attribute, this node or one of its ancestors), 4 when the new node
    // belongs to another document, 8 when ref/old is not a child.
    TXmlNodePtr appendChild(const TXmlNodePtr& child);
    TXmlNodePtr insertBefore(const TXmlNodePtr& newChild, const TXmlNodePtr& ref);
    TXmlNodePtr removeChild(const TXmlNodePtr& child);
    TXmlNodePtr replaceChild(const TXmlNodePtr& newChild, const TXmlNodePtr& oldChild);

    // A copy owned by the same document, without parent; deep copies the
    // children too. An element's copy has copies of its attributes.
    TXmlNodePtr cloneNode(bool deep) const;

protected:
    TXmlNode(TXmlNodeType type, TXmlOwnerLink* owner, bool container = false);
    // A copy of this node alone: kind, name, value, attributes.
    virtual TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const = 0;
    TXmlOwnerLink* owner() const { return owner_; }
    // The 16-bit form of a packed value of this node, made on first use and
    // kept (by the owner link) until the value changes or the node goes.
    const std::u16string& widened(const TXmlPackedText& value) const;
    void setPacked(TXmlPackedText& value, std::u16string text);
    void appendPacked(TXmlPackedText& value, std::u16string_view text);
    void dropWidened();
    bool canHoldChildren() const;
    bool sameDocument(const TXmlNode& other) const;
    bool ignoreCase() const;

private:
    friend class TXmlDocument;
    friend class TXmlElement;
    friend class TXmlNamedNodeMap;
    friend struct TXmlNodeLinks;
    friend class TXmlParentNode;
    // The child links; only the kinds that hold children have them.
    TXmlNode* firstRaw() const;
    TXmlNode* lastRaw() const;
    TXmlNodePtr& firstSlot();
    TXmlNode*& lastSlot();
    void checkInsert(const TXmlNodePtr& child) const;
    void linkBefore(TXmlNodePtr child, TXmlNode* ref);
    void unlink(TXmlNode* child);

    friend void xmlRetain(TXmlNode* node) noexcept;
    friend void xmlRelease(TXmlNode* node) noexcept;

    std::uint32_t refs_ = 0; // the references to this node (TXmlRef)
    std::uint8_t type_;      // a TXmlNodeType
    bool container_; // a TXmlParentNode
    mutable bool widened_ = false; // the owner link holds a 16-bit form of the value
    TXmlOwnerLink* owner_; // counted reference
    TXmlNode* parent_ = nullptr;
    TXmlNode* prev_ = nullptr;
    TXmlNodePtr next_;
};

inline void xmlRetain(TXmlNode* node) noexcept {
    ++node->refs_;
}
inline void xmlRelease(TXmlNode* node) noexcept {
    if (--node->refs_ == 0)
        delete node;
}

// The kinds that hold children: element, document, document type and
// document fragment. Text, attributes and the other kinds carry no child
// links at all.
class TXmlParentNode : public TXmlNode {
public:
    ~TXmlParentNode() override;

protected:
    TXmlParentNode(TXmlNodeType type, TXmlOwnerLink* owner) : TXmlNode(type, owner, true) {}

private:
    friend class TXmlNode;
    TXmlNodePtr first_;
    TXmlNode* last_ = nullptr;
};

inline TXmlNode* TXmlNode::firstRaw() const {
    return container_ ? static_cast<const TXmlParentNode*>(this)->first_.get() : nullptr;
}
inline TXmlNode* TXmlNode::lastRaw() const {
    return container_ ? static_cast<const TXmlParentNode*>(this)->last_ : nullptr;
}
inline TXmlNodePtr& TXmlNode::firstSlot() {
    return static_cast<TXmlParentNode*>(this)->first_;
}
inline TXmlNode*& TXmlNode::lastSlot() {
    return static_cast<TXmlParentNode*>(this)->last_;
}

class TXmlElement : public TXmlParentNode {
public:
    const std::u16string& nodeName() const override { return *name_; }
    bool hasAttributes() const override { return attrs_ && !attrs_->attrs_.empty(); }
    const TXmlNamedNodeMap* attributes() const override { return attrs_.get(); }

    // Empty when there is no such attribute.
    std::u16string getAttribute(const std::u16string& name) const;
    // Removes an attribute passing the name match, then appends the new one
    // last, so re-setting an attribute moves it to the end.
    void setAttribute(const std::u16string& name, const std::u16string& value);
    // Descendants (not this element) whose local name (after the first ":")
    // passes the name match; "*" gives all, "prefix:*" those with the prefix.
    TXmlNodeList getElementsByTagName(const std::u16string& name) const;

    TXmlElement(TXmlOwnerLink* owner, const std::u16string& name);
    ~TXmlElement() override;
    // Appends an attribute without looking for an existing one (the reader
    // has already rejected repeated names).
    void appendAttribute(const std::u16string& name, std::u16string_view value);

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;

private:
    friend struct TXmlNodeLinks;
    TXmlNamedNodeMap& attrMap();
    const std::u16string* name_; // held by the owner link
    // Made with the first attribute: an element that never had one has none.
    std::unique_ptr<TXmlNamedNodeMap> attrs_;
};

class TXmlAttribute : public TXmlNode {
public:
    TXmlAttribute(TXmlOwnerLink* owner, const std::u16string& name, std::u16string_view value);
    const std::u16string& nodeName() const override { return *name_; }
    ~TXmlAttribute() override;
    const std::u16string& nodeValue() const override { return widened(value_); }
    void setNodeValue(std::u16string value) override { setPacked(value_, std::move(value)); }
    const TXmlPackedText& packed() const { return value_; }

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;

private:
    friend class TXmlElement;
    friend class TXmlNamedNodeMap;
    void copyValue(const TXmlAttribute& other);
    const std::u16string* name_; // held by the owner link
    TXmlPackedText value_;
};

class TXmlCharacterData : public TXmlNode {
public:
    ~TXmlCharacterData() override;
    const std::u16string& nodeValue() const override { return widened(data_); }
    void setNodeValue(std::u16string value) override { setPacked(data_, std::move(value)); }
    const TXmlPackedText& packed() const { return data_; }

protected:
    // Takes other's text (for copies).
    void copyData(const TXmlCharacterData& other);
    TXmlCharacterData(TXmlNodeType type, TXmlOwnerLink* owner, std::u16string_view data)
        : TXmlNode(type, owner), data_(data) {}

private:
    friend struct TXmlNodeLinks;
    TXmlPackedText data_;
};

class TXmlText : public TXmlCharacterData {
public:
    TXmlText(TXmlOwnerLink* owner, std::u16string_view data)
        : TXmlCharacterData(TEXT_NODE, owner, data) {}
    const std::u16string& nodeName() const override;

protected:
    TXmlText(TXmlNodeType type, TXmlOwnerLink* owner, std::u16string_view data)
        : TXmlCharacterData(type, owner, data) {}
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;
};

// Counts as text for text(), being a TXmlText.
class TXmlCDataSection : public TXmlText {
public:
    TXmlCDataSection(TXmlOwnerLink* owner, std::u16string_view data)
        : TXmlText(CDATA_SECTION_NODE, owner, data) {}
    const std::u16string& nodeName() const override;

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;
};

class TXmlComment : public TXmlCharacterData {
public:
    TXmlComment(TXmlOwnerLink* owner, std::u16string_view data)
        : TXmlCharacterData(COMMENT_NODE, owner, data) {}
    const std::u16string& nodeName() const override;

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;
};

class TXmlEntityReference : public TXmlNode {
public:
    TXmlEntityReference(TXmlOwnerLink* owner, std::u16string name)
        : TXmlNode(ENTITY_REFERENCE_NODE, owner), name_(std::move(name)) {}
    const std::u16string& nodeName() const override { return name_; }

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;

private:
    std::u16string name_;
};

// nodeName is the target, nodeValue the data.
class TXmlProcessingInstruction : public TXmlNode {
public:
    TXmlProcessingInstruction(TXmlOwnerLink* owner, std::u16string target,
                              std::u16string data)
        : TXmlNode(PROCESSING_INSTRUCTION_NODE, owner), target_(std::move(target)),
          data_(std::move(data)) {}
    const std::u16string& nodeName() const override { return target_; }
    const std::u16string& nodeValue() const override { return data_; }
    void setNodeValue(std::u16string value) override { data_ = std::move(value); }

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;

private:
    std::u16string target_;
    std::u16string data_;
};

// The declarations of the internal subset are its children
// (TXmlDeclaration, comments, processing instructions).
class TXmlDocumentType : public TXmlParentNode {
public:
    TXmlDocumentType(TXmlOwnerLink* owner, std::u16string name,
                     std::u16string publicId, std::u16string systemId)
        : TXmlParentNode(DOCUMENT_TYPE_NODE, owner), name_(std::move(name)),
          publicId_(std::move(publicId)), systemId_(std::move(systemId)) {}
    const std::u16string& nodeName() const override { return name_; }
    const std::u16string& publicId() const { return publicId_; }
    const std::u16string& systemId() const { return systemId_; }

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;

private:
    std::u16string name_;
    std::u16string publicId_;
    std::u16string systemId_;
};

// One markup declaration of a document type, kept as its markup text
// (nodeValue), e.g. <!ENTITY a "b">. nodeType is ELEMENT_DECL_NODE,
// ATTLIST_DECL_NODE, ENTITY_NODE or NOTATION_NODE.
class TXmlDeclaration : public TXmlNode {
public:
    TXmlDeclaration(TXmlOwnerLink* owner, TXmlDeclKind kind,
                    std::u16string markup);
    TXmlDeclKind kind() const { return kind_; }
    const std::u16string& nodeName() const override;
    const std::u16string& nodeValue() const override { return markup_; }

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;

private:
    TXmlDeclKind kind_;
    std::u16string markup_;
};

class TXmlDocumentFragment : public TXmlParentNode {
public:
    explicit TXmlDocumentFragment(TXmlOwnerLink* owner)
        : TXmlParentNode(DOCUMENT_FRAGMENT_NODE, owner) {}
    const std::u16string& nodeName() const override;

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;
};

// The document's own switches: the name match and the writer's settings.
struct TXmlDocumentSettings {
    bool IgnoreCase = false;
    std::u16string IdAttribute = u"id";
    bool FormattedOutput = true;
    TXmlLineBreakMode LineBreakMode = lbmCR;
    bool LineBreakCharReplace = false;
    TXmlCharEncoding OutCharSet = ceISO88591;
    bool WriteUTF8Signature = false;
};

class TXmlDocument : public TXmlParentNode {
public:
    // Documents live in counted references; make one with create().
    static TXmlDocumentPtr create();

    const std::u16string& nodeName() const override;
    TXmlDocumentSettings& settings() { return settings_; }
    const TXmlDocumentSettings& settings() const { return settings_; }

    // The first child that is an element; null when there is none.
    TXmlElementPtr documentElement() const;
    // The document element, its following siblings and all their descendants
    // in document order whose name equals name exactly (never folded); "*"
    // gives all elements, "prefix:*" those with that prefix.
    TXmlNodeList getElementsByTagName(const std::u16string& name) const;

    // DOM error 5 on an empty name or one that is not an XML name.
    TXmlElementPtr createElement(const std::u16string& name);
    TXmlNodePtr createTextNode(const std::u16string& text);
    TXmlNodePtr createCDATASection(const std::u16string& text);
    TXmlNodePtr createComment(const std::u16string& text);
    // DOM error 5 on an empty or invalid target.
    TXmlNodePtr createProcessingInstruction(const std::u16string& target,
                                            const std::u16string& data);
    TXmlNodePtr createDocumentFragment();

    // create..., then appendChild on parent; they return the new node.
    TXmlElementPtr appendElement(const TXmlNodePtr& parent, const std::u16string& name);
    TXmlNodePtr appendText(const TXmlNodePtr& parent, const std::u16string& text);
    TXmlNodePtr appendCDATASection(const TXmlNodePtr& parent, const std::u16string& text);

    // Releases every child.
    void clear();

    TXmlDocument();
    ~TXmlDocument() override;

protected:
    TXmlNodePtr cloneShallow(TXmlOwnerLink* owner) const override;

private:
    TXmlDocumentSettings settings_;
};

// A local destination that cannot be written; what() is "Cannot create file "
// and the path (UTF-8).
class EXmlCreateFileError : public std::runtime_error {
public:
    explicit EXmlCreateFileError(const std::string& path);
};

// A character the ISO-8859-1 encoder cannot take. The writer reduces text to
// what the output encoding holds first, so only direct use of the encoder
// meets it.
class EXmlConvertError : public std::runtime_error {
public:
    EXmlConvertError();
};

// A load with RaiseErrors on that recorded errors throws this; what() is the
// first line of the error list (UTF-8).
class EXmlLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The component that owns one document. A new TXmlObjModel carries the values
// the program runs with: BufferSize 8192, NormalizeData on, IgnoreCase on,
// IdAttribute "id", RaiseErrors off, FormattedOutput on, LineBreakMode lbmCR,
// LineBreakCharReplace off, OutCharSet ceISO88591, WriteUTF8Signature off.
class TXmlObjModel {
public:
    TXmlObjModel();
    // Deletes the temporary files made for internet sources.
    ~TXmlObjModel();
    TXmlObjModel(const TXmlObjModel&) = delete;
    TXmlObjModel& operator=(const TXmlObjModel&) = delete;

    // The same document object for the whole life of the component.
    const TXmlDocumentPtr& document() const { return doc_; }
    // The messages of the last load.
    const TXmlErrorList& errorList() const { return errors_; }

    // Both empty the document and the error list first and return true when
    // the load recorded no error. A parse error keeps the nodes built before
    // it; a source that cannot be opened or a DOM error leaves the document
    // empty. loadFromSource takes a path, "file://", "http://" or "ftp://" and
    // sets OutCharSet to the encoding read (unless the source could not be
    // opened); loadFromMemory reads the buffer in place and keeps OutCharSet.
    bool loadFromSource(const std::string& source);
    bool loadFromMemory(const char* bytes, std::size_t length);

    // The whole document as text (see XmlWriter.h).
    std::u16string xmlText() const;
    // Writes the document to a local path or "file://" name (replacing the
    // file whole, or throwing EXmlCreateFileError and leaving it as it was)
    // or to an "ftp://" location as UserName with Password (false when the
    // store failed; its messages are added to the error list).
    bool saveToSource(const std::string& destination);

    std::size_t BufferSize() const { return bufferSize_; }
    void setBufferSize(std::size_t v) { bufferSize_ = v; }
    bool NormalizeData() const { return normalizeData_; }
    void setNormalizeData(bool v) { normalizeData_ = v; }
    bool IgnoreCase() const { return doc_->settings().IgnoreCase; }
    void setIgnoreCase(bool v) { doc_->settings().IgnoreCase = v; }
    const std::u16string& IdAttribute() const { return doc_->settings().IdAttribute; }
    void setIdAttribute(const std::u16string& v) { doc_->settings().IdAttribute = v; }
    bool RaiseErrors() const { return raiseErrors_; }
    void setRaiseErrors(bool v) { raiseErrors_ = v; }
    bool FormattedOutput() const { return doc_->settings().FormattedOutput; }
    void setFormattedOutput(bool v) { doc_->settings().FormattedOutput = v; }
    TXmlLineBreakMode LineBreakMode() const { return doc_->settings().LineBreakMode; }
    void setLineBreakMode(TXmlLineBreakMode v) { doc_->settings().LineBreakMode = v; }
    bool LineBreakCharReplace() const { return doc_->settings().LineBreakCharReplace; }
    void setLineBreakCharReplace(bool v) { doc_->settings().LineBreakCharReplace = v; }
    TXmlCharEncoding OutCharSet() const { return doc_->settings().OutCharSet; }
    void setOutCharSet(TXmlCharEncoding v) { doc_->settings().OutCharSet = v; }
    bool WriteUTF8Signature() const { return doc_->settings().WriteUTF8Signature; }
    void setWriteUTF8Signature(bool v) { doc_->settings().WriteUTF8Signature = v; }
    const std::string& UserName() const { return userName_; }
    void setUserName(const std::string& v) { userName_ = v; }
    const std::string& Password() const { return password_; }
    void setPassword(const std::string& v) { password_ = v; }
    // On in the program; see TXmlReaderSettings::readExternalDtd.
    bool ReadExternalDtd() const { return readExternalDtd_; }
    void setReadExternalDtd(bool v) { readExternalDtd_ = v; }
    using PreserveSpaceHandler = std::function<bool(const std::u16string& elementName)>;
    const PreserveSpaceHandler& OnPreserveSpace() const { return onPreserveSpace_; }
    void setOnPreserveSpace(PreserveSpaceHandler v) { onPreserveSpace_ = std::move(v); }

private:
    // inputBytes: about how much input the load reads (0 when unknown).
    template <typename Run> bool load(Run run, bool fromSource, std::size_t inputBytes);

    TXmlDocumentPtr doc_;
    TXmlErrorList errors_;
    std::vector<std::string> tempFiles_;
    std::size_t bufferSize_ = 8192;
    bool normalizeData_ = true;
    bool raiseErrors_ = false;
    bool readExternalDtd_ = true;
    std::string userName_ = "anonymous";
    std::string password_ = "quillo@localhost";
    PreserveSpaceHandler onPreserveSpace_;
};

// Null-safe navigation: a null node gives null, an empty text or an empty list.
TXmlNodePtr firstChildOf(const TXmlNodePtr& node);
TXmlNodePtr lastChildOf(const TXmlNodePtr& node);
TXmlNodePtr nextSiblingOf(const TXmlNodePtr& node);
TXmlNodePtr parentOf(const TXmlNodePtr& node);
// The i-th child from 0; null when out of range.
TXmlNodePtr childAt(const TXmlNodePtr& node, long i);
std::u16string textOf(const TXmlNodePtr& node);
TXmlNodeList selectNodesOf(const TXmlNodePtr& node, const std::u16string& name);
// The element behind a node, or null when it is missing or not an element.
TXmlElementPtr asElement(const TXmlNodePtr& node);
// Empty when the node is missing, not an element or lacks the attribute.
std::u16string attributeOf(const TXmlNodePtr& node, const std::u16string& name);
