#include "xml/XmlDom.h"

#include "xml/XmlChars.h"
#include "xml/XmlMessages.h"
#include "xml/XmlNodePool.h"
#include "xml/XmlParser.h"
#include "xml/XmlSource.h"
#include "xml/XmlTreeBuilder.h"
#include "xml/XmlWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <sys/stat.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace {

const std::u16string kEmpty;

// A name the document accepts: an XML name whose surrogates come in pairs
// (a lone one could not be written out).
bool isGoodName(const std::u16string& s) {
    if (!isXmlName(s))
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF)
            ++i;
        else if (c >= 0xD800 && c <= 0xDFFF)
            return false;
    }
    return true;
}

char16_t foldAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

bool sameName(const char16_t* a, std::size_t na, const char16_t* b, std::size_t nb, bool fold) {
    if (na != nb)
        return false;
    for (std::size_t i = 0; i < na; ++i)
        if (a[i] != b[i] && (!fold || foldAscii(a[i]) != foldAscii(b[i])))
            return false;
    return true;
}

bool nameMatch(const std::u16string& a, const std::u16string& b, bool fold) {
    return sameName(a.data(), a.size(), b.data(), b.size(), fold);
}

// Visits root and its descendants in document order without recursion.
template <typename F> void preorder(const TXmlNode* root, F visit) {
    const TXmlNode* n = root;
    for (;;) {
        visit(n);
        if (TXmlNodeLinks::first(*n)) {
            n = TXmlNodeLinks::first(*n);
            continue;
        }
        while (n != root && !TXmlNodeLinks::next(*n))
            n = TXmlNodeLinks::parent(*n);
        if (n == root)
            return;
        n = TXmlNodeLinks::next(*n);
    }
}

// A new node, held by the reference returned.
template <typename T, typename... Args> TXmlRef<T> makeNode(Args&&... args) {
    return TXmlRef<T>(new T(std::forward<Args>(args)...));
}

// A reference to a node that others hold; a node nobody holds (one being
// destroyed) is not handed out.
TXmlNodePtr share(const TXmlNode* n) {
    return n && TXmlNodeLinks::held(*n) ? TXmlNodePtr(const_cast<TXmlNode*>(n)) : nullptr;
}

// The "prefix:*" form of a tag name query; empty when name has another form.
std::u16string wildcardPrefix(const std::u16string& name) {
    if (name.size() >= 3 && name.compare(name.size() - 2, 2, u":*") == 0)
        return name.substr(0, name.size() - 1);
    return {};
}

bool hasPrefix(const std::u16string& name, const std::u16string& prefix, bool fold) {
    return name.size() >= prefix.size() &&
           sameName(name.data(), prefix.size(), prefix.data(), prefix.size(), fold);
}

} // namespace

// ---------------------------------------------------------------------------
// The link from nodes to their document

// Shared by the document and every node made for it; counted, not atomic.
// It outlives the document while nodes of it are held, and keeps the names
// of its elements and attributes.
struct TXmlOwnerLink {
    TXmlDocument* doc; // null once the document is destroyed
    std::size_t refs = 0;
    std::unordered_set<std::u16string> names;
    // The 16-bit values handed out by nodeValue() of packed nodes.
    std::unordered_map<const TXmlNode*, std::u16string> widened;
    // What the nodes of the last load take when written (TXmlNodeLinks).
    std::size_t loadedSize = 0;

    // The names met last, by a hash of their length and ends: a document
    // mostly repeats a few names.
    const std::u16string* recent[64] = {};

    explicit TXmlOwnerLink(TXmlDocument* d) : doc(d) {}
    const std::u16string* intern(const std::u16string& name) {
        std::size_t n = name.size();
        std::size_t slot = n ? (n * 7 + name[0] * 3 + name[n - 1]) & 63 : 0;
        const std::u16string* r = recent[slot];
        if (r && *r == name)
            return r;
        r = &*names.insert(name).first;
        recent[slot] = r;
        return r;
    }
    void clearNames() {
        names.clear();
        std::fill(std::begin(recent), std::end(recent), nullptr);
    }
};

namespace {

TXmlOwnerLink* retain(TXmlOwnerLink* link) {
    if (link)
        ++link->refs;
    return link;
}

void release(TXmlOwnerLink* link) {
    if (link && --link->refs == 0)
        delete link;
}

} // namespace

// ---------------------------------------------------------------------------
// Packed text

TXmlPackedText::TXmlPackedText(const TXmlPackedText& other)
    : size_(other.size_), ascii_(other.ascii_) {
    if (size_) {
        bytes_ = static_cast<char*>(xmlpool::allocate(size_));
        std::memcpy(bytes_, other.bytes_, size_);
    }
}

TXmlPackedText::~TXmlPackedText() {
    if (bytes_)
        xmlpool::deallocate(bytes_, size_);
}

#if defined(__SSE2__)
namespace {

// For eight units of one or two UTF-8 bytes each: which bytes of the eight
// 16-bit lanes (lead byte low, trail byte high) make the UTF-8 bytes, by
// which units are ASCII (bit k for unit k), and how many there are.
struct TwoByteShuffles {
    alignas(16) unsigned char control[256][16];
    unsigned char length[256];
};

constexpr TwoByteShuffles makeTwoByteShuffles() {
    TwoByteShuffles t{};
    for (int m = 0; m < 256; ++m) {
        int n = 0;
        for (int k = 0; k < 8; ++k) {
            t.control[m][n++] = static_cast<unsigned char>(2 * k);
            if (!((m >> k) & 1))
                t.control[m][n++] = static_cast<unsigned char>(2 * k + 1);
        }
        t.length[m] = static_cast<unsigned char>(n);
        for (; n < 16; ++n)
            t.control[m][n] = 0x80;
    }
    return t;
}

constexpr TwoByteShuffles kTwoByteShuffles = makeTwoByteShuffles();

// Encodes eight units below U+0800 (x) at o, storing sixteen bytes; the
// number of bytes they take. Mixed text, a letter of two bytes beside ASCII
// ones, would cost a mispredicted branch at every other letter unit by unit.
__attribute__((target("ssse3"))) std::size_t oneOrTwoByteBlock(__m128i x, char* o) {
    const __m128i ascii = _mm_cmplt_epi16(x, _mm_set1_epi16(0x80));
    const __m128i lead = _mm_or_si128(_mm_srli_epi16(x, 6), _mm_set1_epi16(0xC0));
    const __m128i trail = _mm_slli_epi16(
        _mm_or_si128(_mm_and_si128(x, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80)), 8);
    const __m128i lanes =
        _mm_or_si128(_mm_and_si128(ascii, x), _mm_andnot_si128(ascii, _mm_or_si128(lead, trail)));
    const unsigned m =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, ascii))) & 0xFF;
    const __m128i control =
        _mm_load_si128(reinterpret_cast<const __m128i*>(kTwoByteShuffles.control[m]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(lanes, control));
    return kTwoByteShuffles.length[m];
}

} // namespace
#endif

void TXmlPackedText::assign(std::u16string_view text) {
    const char16_t* p = text.data();
    const std::size_t units = text.size();
    if (units > UINT32_MAX / 3)
        throw std::bad_alloc();
    // Encoded into a buffer of the worst case first (three bytes a unit),
    // then copied into a block of the exact size.
    thread_local std::unique_ptr<char[]> scratch;
    thread_local std::size_t scratchSize = 0;
    char* o;
    const bool big = units * 3 > scratchSize;
    std::unique_ptr<char[]> once;
    if (!big)
        o = scratch.get();
    else if (units * 3 <= 1 << 20) {
        scratchSize = std::max<std::size_t>(units * 3, 4096);
        scratch.reset(new char[scratchSize]);
        o = scratch.get();
    } else {
        once.reset(new char[units * 3]);
        o = once.get();
    }
    char* const start = o;
    bool ascii = true;
    std::size_t i = 0;
#if defined(__SSE2__)
    static const bool shuffles = __builtin_cpu_supports("ssse3");
    const __m128i highs = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i beyondTwoBytes = _mm_set1_epi16(static_cast<short>(0xF800));
#endif
    while (i < units) {
        // Eight units at a time: all ASCII, or all of one or two bytes; a
        // block with more goes unit by unit.
        std::size_t blockEnd = units;
#if defined(__SSE2__)
        if (units - i >= 8) {
            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            unsigned ascii8 = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_cmpeq_epi16(_mm_and_si128(x, highs), _mm_setzero_si128())));
            if (ascii8 == 0xFFFF) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(x, x));
                o += 8;
                i += 8;
                continue;
            }
            ascii = false;
            if (shuffles && _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(x, beyondTwoBytes),
                                                               _mm_setzero_si128())) == 0xFFFF) {
                o += oneOrTwoByteBlock(x, o);
                i += 8;
                continue;
            }
            blockEnd = i + 8;
        }
#endif
        while (i < blockEnd) {
            char32_t c = p[i++];
            if (c < 0x80) {
                *o++ = char(c);
                continue;
            }
            ascii = false;
            if (c < 0x800) {
                *o++ = char(0xC0 | (c >> 6));
                *o++ = char(0x80 | (c & 0x3F));
            } else if (c >= 0xD800 && c <= 0xDBFF && i < units && p[i] >= 0xDC00 &&
                       p[i] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(p[i++]) - 0xDC00);
                *o++ = char(0xF0 | (c >> 18));
                *o++ = char(0x80 | ((c >> 12) & 0x3F));
                *o++ = char(0x80 | ((c >> 6) & 0x3F));
                *o++ = char(0x80 | (c & 0x3F));
            } else {
                *o++ = char(0xE0 | (c >> 12));
                *o++ = char(0x80 | ((c >> 6) & 0x3F));
                *o++ = char(0x80 | (c & 0x3F));
            }
        }
    }
    const std::size_t n = static_cast<std::size_t>(o - start);
    char* bytes = nullptr;
    if (n) {
        bytes = static_cast<char*>(xmlpool::allocate(n));
        std::memcpy(bytes, start, n);
    }
    if (bytes_)
        xmlpool::deallocate(bytes_, size_);
    bytes_ = bytes;
    size_ = static_cast<std::uint32_t>(n);
    ascii_ = ascii;
}

void TXmlPackedText::append(std::u16string_view text) {
    std::u16string whole;
    widenInto(whole);
    whole.append(text);
    assign(whole);
}

void TXmlPackedText::widenInto(std::u16string& out) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes_);
    const unsigned char* e = p + size_;
    std::size_t at = out.size();
    // As many units as bytes at most; cut to what was written.
    out.resize(at + size_);
    char16_t* o = out.data() + at;
    char16_t* const start = o;
    if (ascii_) {
        for (std::size_t i = 0; i < size_; ++i)
            o[i] = p[i];
        return;
    }
    while (p < e) {
        unsigned char b = *p;
        if (b < 0x80) {
            *o++ = b;
            ++p;
        } else if (b < 0xE0) {
            *o++ = char16_t(((b & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if (b < 0xF0) {
            *o++ = char16_t(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            char32_t c = (char32_t(b & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                         (char32_t(p[2] & 0x3F) << 6) | char32_t(p[3] & 0x3F);
            c -= 0x10000;
            *o++ = char16_t(0xD800 + (c >> 10));
            *o++ = char16_t(0xDC00 + (c & 0x3FF));
            p += 4;
        }
    }
    out.resize(at + static_cast<std::size_t>(o - start));
}

// ---------------------------------------------------------------------------
// Node lists and attribute maps

TXmlNodePtr TXmlNodeList::item(long i) const {
    if (i < 0 || i >= length())
        return nullptr;
    return nodes_[static_cast<std::size_t>(i)];
}

TXmlAttributePtr TXmlNamedNodeMap::item(long i) const {
    if (i < 0 || i >= length())
        return nullptr;
    return attrs_[static_cast<std::size_t>(i)];
}

TXmlAttributePtr TXmlNamedNodeMap::getNamedItem(const std::u16string& name) const {
    if (name == u"*")
        return attrs_.empty() ? nullptr : attrs_.front();
    bool fold = owner_->ignoreCase();
    for (const auto& a : attrs_)
        if (nameMatch(*a->name_, name, fold))
            return a;
    return nullptr;
}

// ---------------------------------------------------------------------------
// TXmlNode

void* TXmlNode::operator new(std::size_t bytes) {
    return xmlpool::allocate(bytes);
}

void TXmlNode::operator delete(void* p, std::size_t bytes) noexcept {
    xmlpool::deallocate(p, bytes);
}

TXmlNode::TXmlNode(TXmlNodeType type, TXmlOwnerLink* owner, bool container)
    : type_(type), container_(container), owner_(retain(owner)) {}

TXmlNode::~TXmlNode() {
    release(owner_);
}

TXmlParentNode::~TXmlParentNode() {
    // The children are released as one list: the children of a child that
    // nobody else holds are spliced in after it first, so that a long sibling
    // chain or a deep tree never recurses and needs no extra memory.
    TXmlNodePtr list = std::move(first_);
    last_ = nullptr;
    while (list) {
        TXmlNode* n = list.get();
        if (n->firstRaw() && n->refs_ == 1) {
            n->lastSlot()->next_ = std::move(n->next_);
            n->next_ = std::move(n->firstSlot());
            n->lastSlot() = nullptr;
        }
        TXmlNodePtr next = std::move(n->next_);
        n->parent_ = nullptr;
        n->prev_ = nullptr;
        list = std::move(next);
    }
}

const std::u16string& TXmlNode::nodeName() const {
    return kEmpty;
}
const std::u16string& TXmlNode::nodeValue() const {
    return kEmpty;
}
void TXmlNode::setNodeValue(std::u16string) {}

TXmlDocumentPtr TXmlNode::ownerDocument() const {
    // A document that nobody holds (one being destroyed, or one not made by
    // TXmlDocument::create) is not handed out.
    if (!owner_ || !owner_->doc || owner_->doc->refs_ == 0)
        return nullptr;
    return TXmlDocumentPtr(owner_->doc);
}

TXmlNodePtr TXmlNode::parentNode() const {
    return share(parent_);
}
TXmlNodePtr TXmlNode::firstChild() const {
    return container_ ? static_cast<const TXmlParentNode*>(this)->first_ : nullptr;
}
TXmlNodePtr TXmlNode::lastChild() const {
    return share(lastRaw());
}
TXmlNodePtr TXmlNode::previousSibling() const {
    return share(prev_);
}

TXmlNodeList TXmlNode::childNodes() const {
    std::vector<TXmlNodePtr> v;
    for (TXmlNode* c = firstRaw(); c; c = c->next_.get())
        v.push_back(share(c));
    return TXmlNodeList(std::move(v));
}

std::u16string TXmlNode::text() const {
    std::u16string out;
    preorder(this, [&out](const TXmlNode* n) {
        if (n->type_ != TEXT_NODE && n->type_ != CDATA_SECTION_NODE)
            return;
        const TXmlPackedText& v = static_cast<const TXmlCharacterData*>(n)->packed();
        if (v.empty())
            return;
        if (!out.empty())
            out += u' ';
        v.widenInto(out);
    });
    return out;
}

TXmlNodeList TXmlNode::selectNodes(const std::u16string& expr) const {
    std::size_t b = 0, e = expr.size();
    while (b < e && isXmlSpace(expr[b]))
        ++b;
    while (e > b && isXmlSpace(expr[e - 1]))
        --e;
    std::u16string name = expr.substr(b, e - b);
    TXmlNodeList list;
    if (name == u"/") {
        if (auto d = ownerDocument())
            list.add(d);
        return list;
    }
    bool all = name == u"*";
    if (!all && !isXmlName(name))
        return list;
    bool fold = ignoreCase();
    for (TXmlNode* c = firstRaw(); c; c = c->next_.get())
        if (c->type_ == ELEMENT_NODE && (all || nameMatch(c->nodeName(), name, fold)))
            list.add(share(c));
    return list;
}

bool TXmlNode::canHoldChildren() const {
    switch (type_) {
    case ELEMENT_NODE:
    case DOCUMENT_NODE:
    case DOCUMENT_FRAGMENT_NODE:
    case DOCUMENT_TYPE_NODE:
        return true;
    default:
        return false;
    }
}

bool TXmlNode::sameDocument(const TXmlNode& other) const {
    return owner_ == other.owner_;
}

bool TXmlNode::ignoreCase() const {
    return owner_ && owner_->doc && owner_->doc->settings().IgnoreCase;
}

void TXmlNode::checkInsert(const TXmlNodePtr& child) const {
    if (!child || !canHoldChildren() || child->type_ == DOCUMENT_NODE ||
        child->type_ == ATTRIBUTE_NODE)
        throw TXmlDOMException(TXmlDOMException::HIERARCHY_REQUEST_ERR);
    if (!sameDocument(*child))
        throw TXmlDOMException(TXmlDOMException::WRONG_DOCUMENT_ERR);
    // A node may not become its own descendant.
    for (const TXmlNode* a = this; a; a = a->parent_)
        if (a == child.get())
            throw TXmlDOMException(TXmlDOMException::HIERARCHY_REQUEST_ERR);
}

void TXmlNode::unlink(TXmlNode* c) {
    TXmlNode* prev = c->prev_;
    TXmlNodePtr& slot = prev ? prev->next_ : firstSlot();
    TXmlNodePtr self = std::move(slot);
    slot = std::move(self->next_);
    if (slot)
        slot->prev_ = prev;
    else
        lastSlot() = prev;
    c->prev_ = nullptr;
    c->parent_ = nullptr;
}

void TXmlNode::linkBefore(TXmlNodePtr child, TXmlNode* ref) {
    if (child->parent_)
        child->parent_->unlink(child.get());
    TXmlNode* raw = child.get();
    raw->parent_ = this;
    if (!ref) {
        TXmlNode*& last = lastSlot();
        raw->prev_ = last;
        (last ? last->next_ : firstSlot()) = std::move(child);
        last = raw;
        return;
    }
    raw->prev_ = ref->prev_;
    TXmlNodePtr& slot = ref->prev_ ? ref->prev_->next_ : firstSlot();
    raw->next_ = std::move(slot);
    slot = std::move(child);
    ref->prev_ = raw;
}

TXmlNodePtr TXmlNode::appendChild(const TXmlNodePtr& child) {
    return insertBefore(child, nullptr);
}

TXmlNodePtr TXmlNode::insertBefore(const TXmlNodePtr& newChild, const TXmlNodePtr& ref) {
    checkInsert(newChild);
    if (ref && ref->parent_ != this)
        throw TXmlDOMException(TXmlDOMException::NOT_FOUND_ERR);
    if (newChild == ref)
        return newChild;
    if (newChild->type_ == DOCUMENT_FRAGMENT_NODE) {
        for (TXmlNode* c = newChild->firstRaw(); c; c = c->next_.get()) {
            TXmlNodePtr copy = c->cloneNode(true);
            checkInsert(copy);
            linkBefore(std::move(copy), ref.get());
        }
        return newChild;
    }
    linkBefore(newChild, ref.get());
    return newChild;
}

TXmlNodePtr TXmlNode::removeChild(const TXmlNodePtr& child) {
    if (!child || child->parent_ != this || child->type_ == ATTRIBUTE_NODE)
        throw TXmlDOMException(TXmlDOMException::NOT_FOUND_ERR);
    TXmlNodePtr keep = child;
    unlink(child.get());
    return keep;
}

TXmlNodePtr TXmlNode::replaceChild(const TXmlNodePtr& newChild, const TXmlNodePtr& oldChild) {
    checkInsert(newChild);
    if (!oldChild || oldChild->parent_ != this || oldChild->type_ == ATTRIBUTE_NODE)
        throw TXmlDOMException(TXmlDOMException::NOT_FOUND_ERR);
    if (newChild == oldChild)
        return oldChild;
    insertBefore(newChild, oldChild);
    return removeChild(oldChild);
}

TXmlNodePtr TXmlNode::cloneNode(bool deep) const {
    TXmlNodePtr root = cloneShallow(owner_);
    if (!deep || !firstRaw())
        return root;
    TXmlOwnerLink* owner = owner_;
    if (type_ == DOCUMENT_NODE)
        owner = root->owner_;
    // dst is always the copy of src's parent.
    const TXmlNode* src = firstRaw();
    TXmlNode* dst = root.get();
    while (src) {
        TXmlNodePtr copy = src->cloneShallow(owner);
        TXmlNode* raw = copy.get();
        dst->linkBefore(std::move(copy), nullptr);
        if (src->firstRaw()) {
            src = src->firstRaw();
            dst = raw;
            continue;
        }
        while (src != this && !src->next_) {
            src = src->parent_;
            dst = dst->parent_;
        }
        src = src == this ? nullptr : src->next_.get();
    }
    return root;
}

// ---------------------------------------------------------------------------
// Node kinds

TXmlElement::~TXmlElement() {
    if (attrs_)
        for (const auto& a : attrs_->attrs_)
            a->parent_ = nullptr;
}

TXmlNamedNodeMap& TXmlElement::attrMap() {
    if (!attrs_)
        attrs_.reset(new TXmlNamedNodeMap(this));
    return *attrs_;
}

TXmlElement::TXmlElement(TXmlOwnerLink* owner, const std::u16string& name)
    : TXmlParentNode(ELEMENT_NODE, owner), name_(owner->intern(name)) {}

TXmlAttribute::TXmlAttribute(TXmlOwnerLink* owner, const std::u16string& name,
                             std::u16string_view value)
    : TXmlNode(ATTRIBUTE_NODE, owner), name_(owner->intern(name)), value_(value) {}

void TXmlElement::appendAttribute(const std::u16string& name, std::u16string_view value) {
    auto a = makeNode<TXmlAttribute>(owner(), name, value);
    a->parent_ = this;
    attrMap().attrs_.push_back(std::move(a));
}

std::u16string TXmlElement::getAttribute(const std::u16string& name) const {
    auto a = attrs_ ? attrs_->getNamedItem(name) : nullptr;
    std::u16string v;
    if (a)
        a->value_.widenInto(v);
    return v;
}

void TXmlElement::setAttribute(const std::u16string& name, const std::u16string& value) {
    bool fold = ignoreCase();
    auto& v = attrMap().attrs_;
    for (auto it = v.begin(); it != v.end(); ++it)
        if (nameMatch(*(*it)->name_, name, fold)) {
            (*it)->parent_ = nullptr;
            v.erase(it);
            break;
        }
    appendAttribute(name, value);
}

TXmlNodeList TXmlElement::getElementsByTagName(const std::u16string& name) const {
    TXmlNodeList list;
    bool all = name == u"*";
    std::u16string prefix = wildcardPrefix(name);
    bool fold = ignoreCase();
    preorder(this, [&](const TXmlNode* n) {
        if (n == this || n->nodeType() != ELEMENT_NODE)
            return;
        const std::u16string& nn = n->nodeName();
        bool keep;
        if (all)
            keep = true;
        else if (!prefix.empty())
            keep = hasPrefix(nn, prefix, fold);
        else {
            std::size_t colon = nn.find(u':');
            std::size_t from = colon == std::u16string::npos ? 0 : colon + 1;
            keep = sameName(nn.data() + from, nn.size() - from, name.data(), name.size(), fold);
        }
        if (keep)
            list.add(share(n));
    });
    return list;
}

TXmlNodePtr TXmlElement::cloneShallow(TXmlOwnerLink* owner) const {
    auto e = makeNode<TXmlElement>(owner, *name_);
    if (attrs_) {
        e->attrMap().attrs_.reserve(attrs_->attrs_.size());
        for (const auto& a : attrs_->attrs_)
            e->appendAttribute(*a->name_, std::u16string_view());
        for (std::size_t i = 0; i < attrs_->attrs_.size(); ++i)
            e->attrs_->attrs_[i]->copyValue(*attrs_->attrs_[i]);
    }
    return e;
}

TXmlNodePtr TXmlAttribute::cloneShallow(TXmlOwnerLink* owner) const {
    auto a = makeNode<TXmlAttribute>(owner, *name_, std::u16string_view());
    a->copyValue(*this);
    return a;
}

const std::u16string& TXmlText::nodeName() const {
    static const std::u16string name = u"#text";
    return name;
}

const std::u16string& TXmlNode::widened(const TXmlPackedText& value) const {
    std::u16string& w = owner_->widened[this];
    if (!widened_) {
        value.widenInto(w);
        widened_ = true;
    }
    return w;
}

void TXmlNode::setPacked(TXmlPackedText& value, std::u16string text) {
    value.assign(text);
    // A reference handed out before keeps showing the value.
    if (widened_)
        owner_->widened[this] = std::move(text);
}

void TXmlNode::appendPacked(TXmlPackedText& value, std::u16string_view text) {
    value.append(text);
    if (widened_)
        owner_->widened[this].append(text);
}

void TXmlNode::dropWidened() {
    if (widened_) {
        owner_->widened.erase(this);
        widened_ = false;
    }
}

TXmlCharacterData::~TXmlCharacterData() {
    dropWidened();
}

TXmlAttribute::~TXmlAttribute() {
    dropWidened();
}

void TXmlAttribute::copyValue(const TXmlAttribute& other) {
    dropWidened();
    value_.~TXmlPackedText();
    new (&value_) TXmlPackedText(other.value_);
}

void TXmlCharacterData::copyData(const TXmlCharacterData& other) {
    dropWidened();
    data_.~TXmlPackedText();
    new (&data_) TXmlPackedText(other.data_);
}

TXmlNodePtr TXmlText::cloneShallow(TXmlOwnerLink* owner) const {
    auto t = makeNode<TXmlText>(owner, std::u16string_view());
    t->copyData(*this);
    return t;
}

const std::u16string& TXmlCDataSection::nodeName() const {
    static const std::u16string name = u"#cdata-section";
    return name;
}

TXmlNodePtr TXmlCDataSection::cloneShallow(TXmlOwnerLink* owner) const {
    auto t = makeNode<TXmlCDataSection>(owner, std::u16string_view());
    t->copyData(*this);
    return t;
}

const std::u16string& TXmlComment::nodeName() const {
    static const std::u16string name = u"#comment";
    return name;
}

TXmlNodePtr TXmlComment::cloneShallow(TXmlOwnerLink* owner) const {
    auto t = makeNode<TXmlComment>(owner, std::u16string_view());
    t->copyData(*this);
    return t;
}

TXmlNodePtr TXmlEntityReference::cloneShallow(TXmlOwnerLink* owner) const {
    return makeNode<TXmlEntityReference>(owner, name_);
}

TXmlNodePtr
TXmlProcessingInstruction::cloneShallow(TXmlOwnerLink* owner) const {
    return makeNode<TXmlProcessingInstruction>(owner, target_, data_);
}

TXmlNodePtr TXmlDocumentType::cloneShallow(TXmlOwnerLink* owner) const {
    return makeNode<TXmlDocumentType>(owner, name_, publicId_, systemId_);
}

namespace {
TXmlNodeType declNodeType(TXmlDeclKind kind) {
    switch (kind) {
    case TXmlDeclKind::Element:
        return ELEMENT_DECL_NODE;
    case TXmlDeclKind::AttList:
        return ATTLIST_DECL_NODE;
    case TXmlDeclKind::Entity:
        return ENTITY_NODE;
    case TXmlDeclKind::Notation:
        break;
    }
    return NOTATION_NODE;
}
} // namespace

TXmlDeclaration::TXmlDeclaration(TXmlOwnerLink* owner, TXmlDeclKind kind,
                                 std::u16string markup)
    : TXmlNode(declNodeType(kind), owner), kind_(kind), markup_(std::move(markup)) {}

const std::u16string& TXmlDeclaration::nodeName() const {
    static const std::u16string names[] = {u"#element-decl", u"#attlist-decl", u"#entity-decl",
                                           u"#notation-decl"};
    return names[static_cast<int>(kind_)];
}

TXmlNodePtr TXmlDeclaration::cloneShallow(TXmlOwnerLink* owner) const {
    return makeNode<TXmlDeclaration>(owner, kind_, markup_);
}

const std::u16string& TXmlDocumentFragment::nodeName() const {
    static const std::u16string name = u"#document-fragment";
    return name;
}

TXmlNodePtr TXmlDocumentFragment::cloneShallow(TXmlOwnerLink* owner) const {
    return makeNode<TXmlDocumentFragment>(owner);
}

// ---------------------------------------------------------------------------
// TXmlDocument

TXmlDocument::TXmlDocument() : TXmlParentNode(DOCUMENT_NODE, new TXmlOwnerLink(this)) {}

TXmlDocument::~TXmlDocument() {
    // Nodes still held elsewhere see the document gone from here on.
    owner_->doc = nullptr;
}

TXmlDocumentPtr TXmlDocument::create() {
    return makeNode<TXmlDocument>();
}

const std::u16string& TXmlDocument::nodeName() const {
    static const std::u16string name = u"#document";
    return name;
}

TXmlNodePtr TXmlDocument::cloneShallow(TXmlOwnerLink*) const {
    auto d = create();
    d->settings_ = settings_;
    return d;
}

void TXmlDocument::clear() {
    while (TXmlNode* c = firstRaw())
        unlink(c);
    owner_->loadedSize = 0;
    // No node of this document is held any more: its names can go.
    if (owner_->refs == 1)
        owner_->clearNames();
}

TXmlElementPtr TXmlDocument::documentElement() const {
    for (TXmlNode* c = firstRaw(); c; c = TXmlNodeLinks::next(*c))
        if (c->nodeType() == ELEMENT_NODE)
            return TXmlElementPtr(static_cast<TXmlElement*>(c));
    return nullptr;
}

TXmlNodeList TXmlDocument::getElementsByTagName(const std::u16string& name) const {
    TXmlNodeList list;
    bool all = name == u"*";
    std::u16string prefix = wildcardPrefix(name);
    auto visit = [&](const TXmlNode* n) {
        if (n->nodeType() != ELEMENT_NODE)
            return;
        const std::u16string& nn = n->nodeName();
        if (all || (!prefix.empty() ? hasPrefix(nn, prefix, false) : nn == name))
            list.add(share(n));
    };
    TXmlNode* start = firstRaw();
    while (start && start->nodeType() != ELEMENT_NODE)
        start = TXmlNodeLinks::next(*start);
    for (TXmlNode* n = start; n; n = TXmlNodeLinks::next(*n))
        preorder(n, visit);
    return list;
}

TXmlElementPtr TXmlDocument::createElement(const std::u16string& name) {
    if (!isGoodName(name))
        throw TXmlDOMException(TXmlDOMException::INVALID_CHARACTER_ERR);
    return makeNode<TXmlElement>(owner_, name);
}

TXmlNodePtr TXmlDocument::createTextNode(const std::u16string& text) {
    return makeNode<TXmlText>(owner_, text);
}

TXmlNodePtr TXmlDocument::createCDATASection(const std::u16string& text) {
    return makeNode<TXmlCDataSection>(owner_, text);
}

TXmlNodePtr TXmlDocument::createComment(const std::u16string& text) {
    return makeNode<TXmlComment>(owner_, text);
}

TXmlNodePtr TXmlDocument::createProcessingInstruction(const std::u16string& target,
                                                      const std::u16string& data) {
    if (!isGoodName(target))
        throw TXmlDOMException(TXmlDOMException::INVALID_CHARACTER_ERR);
    return makeNode<TXmlProcessingInstruction>(owner_, target, data);
}

TXmlNodePtr TXmlDocument::createDocumentFragment() {
    return makeNode<TXmlDocumentFragment>(owner_);
}

TXmlElementPtr TXmlDocument::appendElement(const TXmlNodePtr& parent, const std::u16string& name) {
    TXmlElementPtr e = createElement(name);
    if (!parent)
        throw TXmlDOMException(TXmlDOMException::HIERARCHY_REQUEST_ERR);
    parent->appendChild(e);
    return e;
}

TXmlNodePtr TXmlDocument::appendText(const TXmlNodePtr& parent, const std::u16string& text) {
    if (!parent)
        throw TXmlDOMException(TXmlDOMException::HIERARCHY_REQUEST_ERR);
    return parent->appendChild(createTextNode(text));
}

TXmlNodePtr TXmlDocument::appendCDATASection(const TXmlNodePtr& parent,
                                             const std::u16string& text) {
    if (!parent)
        throw TXmlDOMException(TXmlDOMException::HIERARCHY_REQUEST_ERR);
    return parent->appendChild(createCDATASection(text));
}

// ---------------------------------------------------------------------------
// TXmlTreeBuilder: the reader has checked names and nesting already, so nodes
// are linked directly, without the checks of the public insert operations.

TXmlTreeBuilder::TXmlTreeBuilder(TXmlDocument& document)
    : doc_(document), owner_(TXmlNodeLinks::owner(document)),
      open_(&document) {}

std::size_t TXmlNodeLinks::loadedSize(const TXmlNode& document) {
    return document.owner_ ? document.owner_->loadedSize : 0;
}

void TXmlTreeBuilder::add(TXmlNodePtr node) {
    owner_->loadedSize += TXmlNodeLinks::writtenSize(*node);
    TXmlNodeLinks::append(*open_, std::move(node));
}

void TXmlTreeBuilder::startElement(const std::u16string& name, std::vector<TXmlAttr>&& attrs,
                                   bool empty) {
    auto e = makeNode<TXmlElement>(owner_, name);
    if (!attrs.empty()) {
        TXmlNodeLinks::reserveAttributes(*e, attrs.size());
        for (auto& a : attrs)
            e->appendAttribute(std::move(a.name), std::move(a.value));
    }
    TXmlNode* raw = e.get();
    add(std::move(e));
    if (!empty)
        open_ = raw;
}

void TXmlTreeBuilder::endElement() {
    if (open_ != &doc_ && TXmlNodeLinks::parent(*open_))
        open_ = TXmlNodeLinks::parent(*open_);
}

bool TXmlTreeBuilder::joined(std::u16string_view data) {
    bool join = join_;
    join_ = false;
    TXmlNode* last = TXmlNodeLinks::last(*open_);
    // A section takes what touches it (the pieces of one the writer split),
    // a text what follows it past empty sections.
    if (!join || !last || (last->nodeType() != CDATA_SECTION_NODE && last->nodeType() != TEXT_NODE))
        return false;
    TXmlNodeLinks::appendData(*last, data);
    owner_->loadedSize += 4 * data.size();
    return true;
}

void TXmlTreeBuilder::text(std::u16string&& data) {
    textView(data);
}

void TXmlTreeBuilder::cdata(std::u16string&& data) {
    cdataView(data);
}

void TXmlTreeBuilder::comment(std::u16string&& data) {
    commentView(data);
}

void TXmlTreeBuilder::textView(std::u16string_view data) {
    if (!joined(data))
        add(makeNode<TXmlText>(owner_, data));
}

void TXmlTreeBuilder::cdataView(std::u16string_view data) {
    if (!joined(data))
        add(makeNode<TXmlCDataSection>(owner_, data));
}

void TXmlTreeBuilder::commentView(std::u16string_view data) {
    add(makeNode<TXmlComment>(owner_, data));
}

void TXmlTreeBuilder::processingInstruction(const std::u16string& target, std::u16string&& data) {
    add(makeNode<TXmlProcessingInstruction>(owner_, target, std::move(data)));
}

void TXmlTreeBuilder::startDocType(const std::u16string& name, const std::u16string& publicId,
                                   const std::u16string& systemId) {
    auto d = makeNode<TXmlDocumentType>(owner_, name, publicId, systemId);
    TXmlNode* raw = d.get();
    add(std::move(d));
    open_ = raw;
}

void TXmlTreeBuilder::declaration(TXmlDeclKind kind, std::u16string&& markup) {
    add(makeNode<TXmlDeclaration>(owner_, kind, std::move(markup)));
}

void TXmlTreeBuilder::endDocType() {
    endElement();
}

// ---------------------------------------------------------------------------
// TXmlObjModel

TXmlObjModel::TXmlObjModel() : doc_(TXmlDocument::create()) {
    doc_->settings().IgnoreCase = true;
}

TXmlObjModel::~TXmlObjModel() {
    for (const auto& f : tempFiles_)
        std::remove(f.c_str());
}

template <typename Run>
bool TXmlObjModel::load(Run run, bool fromSource, std::size_t inputBytes) {
    doc_->clear();
    errors_.clear();
    xmlpool::LoadAhead ahead(inputBytes);
    TXmlReaderSettings rs;
    rs.bufferSize = bufferSize_;
    rs.normalizeData = normalizeData_;
    rs.onPreserveSpace = onPreserveSpace_;
    rs.userName = userName_;
    rs.password = password_;
    rs.readExternalDtd = readExternalDtd_;
    TXmlTreeBuilder builder(*doc_);
    bool failed = false;
    {
        TXmlParser parser(rs, builder, errors_, tempFiles_);
        try {
            run(parser);
        } catch (const TXmlDOMException&) {
            failed = true;
        } catch (const std::bad_alloc&) {
            errors_.push_back(xmlmsg::wide(xmlmsg::kOutOfMemory));
            failed = true;
        }
        if (fromSource && !parser.sourceOpened())
            failed = true;
        else if (fromSource)
            doc_->settings().OutCharSet = parser.encoding();
    }
    if (failed)
        doc_->clear();
    bool ok = !failed && errors_.empty();
    if (!ok && raiseErrors_)
        throw EXmlLoadError(errors_.empty() ? std::string()
                                            : encodeXmlText(errors_.front(), ceUTF8, false));
    return ok;
}

namespace {
// The size of a local file, or 0 when it is not one or cannot be read.
std::size_t localFileSize(const std::string& source) {
    struct stat st;
    if (classifySource(source) != TXmlSourceKind::Local ||
        ::stat(localPath(source).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::size_t>(st.st_size);
}
} // namespace

bool TXmlObjModel::loadFromSource(const std::string& source) {
    return load([&source](TXmlParser& p) { p.parseSource(source); }, true,
                localFileSize(source));
}

bool TXmlObjModel::loadFromMemory(const char* bytes, std::size_t length) {
    return load([bytes, length](TXmlParser& p) { p.parseMemory(bytes, length); }, false, length);
}

std::u16string TXmlObjModel::xmlText() const {
    return ::xmlText(*doc_);
}

bool TXmlObjModel::saveToSource(const std::string& destination) {
    return ::saveToSource(*doc_, destination, userName_, password_, &errors_);
}

// ---------------------------------------------------------------------------
// Null-safe navigation

TXmlNodePtr firstChildOf(const TXmlNodePtr& node) {
    return node ? node->firstChild() : nullptr;
}
TXmlNodePtr lastChildOf(const TXmlNodePtr& node) {
    return node ? node->lastChild() : nullptr;
}
TXmlNodePtr nextSiblingOf(const TXmlNodePtr& node) {
    return node ? node->nextSibling() : nullptr;
}
TXmlNodePtr parentOf(const TXmlNodePtr& node) {
    return node ? node->parentNode() : nullptr;
}

TXmlNodePtr childAt(const TXmlNodePtr& node, long i) {
    if (!node || i < 0)
        return nullptr;
    TXmlNode* c = TXmlNodeLinks::first(*node);
    for (; c && i > 0; --i)
        c = TXmlNodeLinks::next(*c);
    return share(c);
}

std::u16string textOf(const TXmlNodePtr& node) {
    return node ? node->text() : std::u16string();
}

TXmlNodeList selectNodesOf(const TXmlNodePtr& node, const std::u16string& name) {
    return node ? node->selectNodes(name) : TXmlNodeList();
}

TXmlElementPtr asElement(const TXmlNodePtr& node) {
    return node && node->nodeType() == ELEMENT_NODE ? xmlStaticCast<TXmlElement>(node)
                                                    : nullptr;
}

std::u16string attributeOf(const TXmlNodePtr& node, const std::u16string& name) {
    auto e = asElement(node);
    return e ? e->getAttribute(name) : std::u16string();
}

EXmlCreateFileError::EXmlCreateFileError(const std::string& path)
    : std::runtime_error(xmlmsg::fill<std::string>(xmlmsg::kCannotCreateFile, path)) {}

EXmlConvertError::EXmlConvertError() : std::runtime_error(std::string(xmlmsg::kCannotConvert)) {}
