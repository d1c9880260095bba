#include "xml/XmlWriter.h"

#include "xml/XmlCharset.h"
#include "xml/XmlFtp.h"
#include "xml/XmlMessages.h"
#include "xml/XmlTreeBuilder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <cstdint>
#include <sys/mman.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Whether a text node comes out as references alone (nothing written as itself).
bool writtenAsReferences(const std::u16string& text) {
    for (char16_t c : text)
        if (c != u'&' && c != u'<' && ((c >= 0x20 && c <= 0x7E) || c == u'\t' || c == u'\n'))
            return false;
    return !text.empty();
}

bool isHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
bool isSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Characters XML 1.0 does not allow anywhere; surrogates are judged in pairs.
bool isForbidden(char16_t c) {
    return (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE || c == 0xFFFF;
}

// Which ASCII characters pass unchanged: bit 0 in text, bit 1 in attribute
// values, bit 2 in CDATA sections.
constexpr std::array<unsigned char, 128> kAsciiPlain = [] {
    std::array<unsigned char, 128> t{};
    for (int c = 0x20; c <= 0x7E; ++c)
        t[c] = 7;
    t['\t'] = 7;
    t['&'] = t['<'] = 4;
    t['"'] = 5;
    t[']'] = 3;
    t['>'] = 4; // after "]]" it would close a CDATA section that is not there
    t[0x7F] = 4;
    return t;
}();

char32_t pairValue(char16_t hi, char16_t lo) {
    return 0x10000 + ((char32_t(hi) - 0xD800) << 10) + (char32_t(lo) - 0xDC00);
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i];
        if (a >= 'a' && a <= 'z')
            a = char(a - 32);
        if (a != prefix[i])
            return false;
    }
    return true;
}

std::size_t findNoCase(std::string_view s, std::string_view upperNeedle) {
    for (std::size_t i = 0; i + upperNeedle.size() <= s.size(); ++i)
        if (startsWithNoCase(s.substr(i), upperNeedle))
            return i;
    return std::string_view::npos;
}

// Output sinks. The writer hands them only what the output encoding can
// hold: raw() gets whole surrogate pairs, lit() ASCII markup.
class TextOut {
public:
    explicit TextOut(std::u16string& s) : s_(s) {}
    void raw(const char16_t* p, std::size_t n) { s_.append(p, n); }
    void narrow(const char16_t* p, std::size_t n) { s_.append(p, n); }
    void lit(std::u16string_view v) { s_.append(v); }
    void ch(char16_t c) { s_ += c; }
    void spaces(std::size_t n) { s_.append(n, u' '); }

private:
    std::u16string& s_;
};

// Encodes straight into bytes (ISO-8859-1 or UTF-8) through a small buffer.
// With a sink, what has gathered in s is handed to it (and s emptied)
// whenever it passes kSinkChunk bytes.
class ByteOut {
public:
    using Sink = std::function<void(std::string_view)>;
    static constexpr std::size_t kSinkChunk = std::size_t(1) << 18;
    ByteOut(std::string& s, bool latin1, const Sink* sink = nullptr)
        : s_(s), latin1_(latin1), sink_(sink) {}
    ~ByteOut() { flush(); }
    ByteOut(const ByteOut&) = delete;
    ByteOut& operator=(const ByteOut&) = delete;

    void raw(const char16_t* p, std::size_t n) {
        std::size_t i = 0;
        while (i < n) {
            if (len_ + 4 > sizeof buf_)
                flush();
            // Room for the worst case of three bytes per code unit, and one
            // more for a surrogate pair that starts on the window's last unit
            // (four bytes for the two).
            std::size_t end = std::min(n, i + (sizeof buf_ - len_ - 1) / 3);
            while (i < end) {
                std::size_t k = i;
                while (k < end && p[k] < 0x80)
                    ++k;
                char* o = buf_ + len_;
                for (std::size_t m = i; m < k; ++m)
                    *o++ = char(p[m]);
                len_ += k - i;
                i = k;
                if (i == end)
                    break;
                char32_t c = p[i++];
                if (latin1_) {
                    if (c > 0xFF)
                        throw EXmlConvertError();
                    buf_[len_++] = char(c);
                    continue;
                }
                if (isHigh(char16_t(c)) && i < n && isLow(p[i]))
                    c = pairValue(char16_t(c), p[i++]);
                else if (isSurrogate(char16_t(c)))
                    c = 0xFFFD;
                if (c < 0x800) {
                    buf_[len_++] = char(0xC0 | (c >> 6));
                } else if (c < 0x10000) {
                    buf_[len_++] = char(0xE0 | (c >> 12));
                    buf_[len_++] = char(0x80 | ((c >> 6) & 0x3F));
                } else {
                    buf_[len_++] = char(0xF0 | (c >> 18));
                    buf_[len_++] = char(0x80 | ((c >> 12) & 0x3F));
                    buf_[len_++] = char(0x80 | ((c >> 6) & 0x3F));
                }
                buf_[len_++] = char(0x80 | (c & 0x3F));
            }
        }
    }
    // Code units that are each one byte: ASCII, or anything up to U+00FF
    // in ISO-8859-1.
    void narrow(const char16_t* p, std::size_t n) {
        while (n) {
            if (len_ == sizeof buf_)
                flush();
            std::size_t k = std::min(n, sizeof buf_ - len_);
            char* o = buf_ + len_;
            for (std::size_t i = 0; i < k; ++i)
                o[i] = char(p[i]);
            len_ += k;
            p += k;
            n -= k;
        }
    }
    void lit(std::u16string_view v) {
        if (len_ + v.size() > sizeof buf_)
            flush();
        if (v.size() > sizeof buf_)
            return raw(v.data(), v.size());
        for (char16_t c : v)
            buf_[len_++] = char(c);
    }
    void ch(char16_t c) { raw(&c, 1); }
    void spaces(std::size_t n) {
        if (len_ + n > sizeof buf_) {
            flush();
            s_.append(n, ' ');
            spill();
            return;
        }
        std::memset(buf_ + len_, ' ', n);
        len_ += n;
    }
    // Bytes already in the output encoding.
    void bytes(const char* p, std::size_t n) {
        if (len_ + n > sizeof buf_) {
            flush();
            if (n > sizeof buf_) {
                s_.append(p, n);
                spill();
                return;
            }
        }
        std::memcpy(buf_ + len_, p, n);
        len_ += n;
    }
    void flush() {
        s_.append(buf_, len_);
        len_ = 0;
        spill();
    }

private:
    void spill() {
        if (sink_ && s_.size() >= kSinkChunk) {
            (*sink_)(s_);
            s_.clear();
        }
    }

    std::string& s_;
    bool latin1_;
    const Sink* sink_;
    std::size_t len_ = 0;
    char buf_[4096];
};

template <typename Out> class Writer {
public:
    // charset: the set iconv writes, or null for enc itself.
    Writer(const TXmlDocumentSettings& s, TXmlCharEncoding enc, TXmlCharset* charset, Out& out)
        : s_(s), out_(out), latin1_(!charset && (enc == ceISO88591 || enc == ceUnknown)),
          charset_(charset), plain_(kAsciiPlain) {
        for (char16_t c = 0; c < 0x80; ++c) {
            asciiHeld_[c] = !charset_ || charset_->holds(c);
            if (!asciiHeld_[c])
                plain_[c] = 0;
        }
        switch (s.LineBreakMode) {
        case lbmCR:
            lineBreak_ = u"\r";
            break;
        case lbmLF:
            lineBreak_ = u"\n";
            break;
        case lbmDefault:
        case lbmCRLF:
            lineBreak_ = u"\r\n";
            break;
        }
        breakAsRef_ = s.LineBreakCharReplace && lineBreak_ != u"\r\n";
        breakRef_ = lineBreak_ == u"\r" ? u"&#13;" : u"&#10;";
    }

    void document(const TXmlNode& doc) {
        bool first = true;
        for (const TXmlNode* c = TXmlNodeLinks::first(doc); c; c = TXmlNodeLinks::next(*c)) {
            if (!first)
                out_.lit(u"\r\n");
            first = false;
            if (c->nodeType() == COMMENT_NODE && s_.FormattedOutput)
                out_.lit(u"\r\n");
            subtree(*c);
        }
    }

    // root and its descendants, root at depth 0; no recursion.
    void subtree(const TXmlNode& root) {
        const TXmlNode* n = &root;
        int depth = 0;
        preserved_.clear();
        for (;;) {
            if (enter(*n, depth)) {
                preserved_.push_back(preserves(*n));
                n = TXmlNodeLinks::first(*n);
                ++depth;
                continue;
            }
            while (n != &root && !TXmlNodeLinks::next(*n)) {
                n = TXmlNodeLinks::parent(*n);
                --depth;
                leave(*n, depth);
                preserved_.pop_back();
            }
            if (n == &root)
                return;
            n = TXmlNodeLinks::next(*n);
        }
    }

private:
    enum class Plain { Name, Comment, Instruction };

    // Whether the element's content keeps its whitespace as the reader sees
    // it: then layout written into it would become text.
    bool preserves(const TXmlNode& element) const {
        bool keep = !preserved_.empty() && preserved_.back();
        if (const TXmlNamedNodeMap* attrs = element.attributes())
            for (const auto& a : attrs->items())
                if (a->nodeName() == u"xml:space") {
                    if (TXmlNodeLinks::value(*a, scratch_) == u"preserve")
                        keep = true;
                    else if (scratch_ == u"default")
                        keep = false;
                }
        return keep || element.nodeName() == u"xsl:text";
    }

    // Layout is written only where the reader drops it again.
    bool layout() const { return s_.FormattedOutput && (preserved_.empty() || !preserved_.back()); }

    void newline(int depth) {
        if (!layout())
            return;
        out_.lit(u"\r\n");
        out_.spaces(std::size_t(2 * depth));
    }

    void ref(char32_t v) {
        if constexpr (std::is_same_v<Out, ByteOut>) {
            char buf[16];
            int n = 15;
            buf[n] = ';';
            do {
                buf[--n] = char('0' + v % 10);
                v /= 10;
            } while (v);
            buf[--n] = '#';
            buf[--n] = '&';
            out_.bytes(buf + n, std::size_t(16 - n));
            return;
        }
        char16_t buf[16];
        int n = 15;
        buf[n] = u';';
        do {
            buf[--n] = char16_t(u'0' + v % 10);
            v /= 10;
        } while (v);
        buf[--n] = u'#';
        buf[--n] = u'&';
        out_.lit(std::u16string_view(buf + n, std::size_t(16 - n)));
    }

    // Writes n up to its children; true when they follow.
    bool enter(const TXmlNode& n, int depth) {
        const TXmlNode* parent = TXmlNodeLinks::parent(n);
        bool inElement = depth > 0 && parent && parent->nodeType() == ELEMENT_NODE;
        switch (n.nodeType()) {
        case ELEMENT_NODE: {
            if (inElement)
                newline(depth);
            out_.ch(u'<');
            plain(n.nodeName(), Plain::Name);
            if (const TXmlNamedNodeMap* attrs = n.attributes())
                for (const auto& a : attrs->items()) {
                    out_.ch(u' ');
                    plain(a->nodeName(), Plain::Name);
                    out_.lit(u"=\"");
                    if (packedOut())
                        escapedPacked(static_cast<const TXmlAttribute&>(*a).packed(), true);
                    else
                        escaped(TXmlNodeLinks::value(*a, scratch_), true);
                    out_.ch(u'"');
                }
            if (!TXmlNodeLinks::first(n)) {
                out_.lit(u"/>");
                return false;
            }
            out_.ch(u'>');
            return true;
        }
        case TEXT_NODE: {
            const TXmlNode* prev = TXmlNodeLinks::prev(n);
            if (inElement && prev && prev->nodeType() == COMMENT_NODE && layout())
                out_.lit(u"\r\n");
            if (packedOut() && !(prev && prev->nodeType() == CDATA_SECTION_NODE)) {
                escapedPacked(static_cast<const TXmlCharacterData&>(n).packed(), false);
                return false;
            }
            const std::u16string& v = TXmlNodeLinks::value(n, scratch_);
            if (prev && prev->nodeType() == CDATA_SECTION_NODE && writtenAsReferences(v)) {
                // Text of references alone right after a section would read
                // as part of it. A space keeps it apart where the reader
                // drops it again; where whitespace is kept, the first
                // character goes as itself when the encoding has it.
                std::size_t first = literalHead(v);
                if (first && !preserved_.empty() && preserved_.back()) {
                    out_.raw(v.data(), first);
                    escaped(v.substr(first), false);
                    return false;
                }
                out_.ch(u' ');
            }
            escaped(v, false);
            return false;
        }
        case CDATA_SECTION_NODE: {
            // The reader joins what touches a section into it (that is how a
            // split section reads back whole), so separate nodes are kept
            // apart by a space, which reading drops again.
            const TXmlNode* prev = TXmlNodeLinks::prev(n);
            if (prev && prev->nodeType() == CDATA_SECTION_NODE)
                out_.ch(u' ');
            if (packedOut())
                cdataPacked(static_cast<const TXmlCharacterData&>(n).packed());
            else
                cdata(TXmlNodeLinks::value(n, scratch_));
            return false;
        }
        case COMMENT_NODE:
            if (inElement)
                newline(depth);
            comment(TXmlNodeLinks::value(n, scratch_));
            return false;
        case PROCESSING_INSTRUCTION_NODE:
            if (inElement)
                newline(depth);
            processingInstruction(n);
            return false;
        case ENTITY_REFERENCE_NODE:
            out_.ch(u'&');
            plain(n.nodeName(), Plain::Name);
            out_.ch(u';');
            return false;
        case DOCUMENT_TYPE_NODE:
            docType(static_cast<const TXmlDocumentType&>(n));
            return false;
        case ELEMENT_DECL_NODE:
        case ATTLIST_DECL_NODE:
        case ENTITY_NODE:
        case NOTATION_NODE:
            plain(n.nodeValue(), Plain::Name);
            return false;
        case DOCUMENT_NODE:
            document(n);
            return false;
        case DOCUMENT_FRAGMENT_NODE:
            for (const TXmlNode* c = TXmlNodeLinks::first(n); c; c = TXmlNodeLinks::next(*c))
                subtree(*c);
            return false;
        case ATTRIBUTE_NODE:
            escaped(TXmlNodeLinks::value(n, scratch_), true);
            return false;
        }
        return false;
    }

    // Code units of v's first character when it can be written as itself
    // (the encoding has it and it is no markup or control); else 0.
    std::size_t literalHead(const std::u16string& v) const {
        char16_t c = v[0];
        if (isHigh(c) && v.size() > 1 && isLow(v[1]))
            return held(pairValue(c, v[1])) ? 2 : 0;
        return c >= 0xA0 && !isSurrogate(c) && !isForbidden(c) && held(c) ? 1 : 0;
    }

    void leave(const TXmlNode& element, int depth) {
        if (TXmlNodeLinks::last(element)->nodeType() != TEXT_NODE)
            newline(depth);
        out_.lit(u"</");
        plain(element.nodeName(), Plain::Name);
        out_.ch(u'>');
    }

    // Whether values are written from their packed bytes: into bytes of
    // UTF-8 or ISO-8859-1. The packed form is UTF-8 but for a surrogate
    // without its partner, which is never written, so both give the same
    // bytes as escaped() and cdata() on the 16-bit text.
    bool packedOut() const { return std::is_same_v<Out, ByteOut> && !charset_; }

    // One sequence of packed bytes at p (lead byte b): its code point (that of
    // the pair for four bytes) and length.
    static char32_t packedChar(const unsigned char* p, std::size_t& len) {
        unsigned char b = p[0];
        if (b < 0xE0) {
            len = 2;
            return (char32_t(b & 0x1F) << 6) | (p[1] & 0x3F);
        }
        if (b < 0xF0) {
            len = 3;
            return (char32_t(b & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        }
        len = 4;
        return (char32_t(b & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
               (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    }

    // escaped() on the packed form.
    void escapedPacked(const TXmlPackedText& t, bool attr) {
        if constexpr (std::is_same_v<Out, ByteOut>) {
            const std::string_view b = t.bytes();
            const auto* p = reinterpret_cast<const unsigned char*>(b.data());
            const std::size_t n = b.size();
            const unsigned char bit = attr ? 2 : 1;
            for (std::size_t i = 0; i < n;) {
                std::size_t j = i;
#if defined(__SSE2__)
                // Sixteen bytes at a time up to one that is not ASCII or not
                // written as itself: a control but TAB, "&", "<", ">", DEL,
                // and in an attribute value a double quote.
                const __m128i k1F = _mm_set1_epi8(0x1F);
                while (n - j >= 16) {
                    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
                    __m128i ctl = _mm_andnot_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\t')),
                                                   _mm_cmpeq_epi8(_mm_max_epu8(x, k1F), k1F));
                    __m128i sp = _mm_or_si128(
                        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('&')),
                                     _mm_cmpeq_epi8(x, _mm_set1_epi8('<'))),
                        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('>')),
                                     _mm_cmpeq_epi8(x, _mm_set1_epi8(0x7F))));
                    if (attr)
                        sp = _mm_or_si128(sp, _mm_cmpeq_epi8(x, _mm_set1_epi8('"')));
                    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(x)) |
                                    static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(ctl, sp)));
                    if (mask) {
                        j += static_cast<std::size_t>(__builtin_ctz(mask));
                        break;
                    }
                    j += 16;
                }
#endif
                while (j < n && p[j] < 0x80 && (plain_[p[j]] & bit))
                    ++j;
                out_.bytes(b.data() + i, j - i);
                if (j == n)
                    return;
                const unsigned char c = p[j];
                i = j + 1;
                if (c >= 0x80) {
                    std::size_t len;
                    char32_t v = packedChar(p + j, len);
                    i = j + len;
                    if (len == 4 || (!isSurrogate(char16_t(v)) && !isForbidden(char16_t(v))))
                        ref(v);
                } else if (c == '&')
                    out_.lit(u"&amp;");
                else if (c == '<')
                    out_.lit(u"&lt;");
                else if (c == '"')
                    out_.lit(u"&#34;");
                else if (c == '>')
                    out_.lit(j >= 2 && p[j - 1] == ']' && p[j - 2] == ']' ? u"&gt;" : u">");
                else if (c == '\n') {
                    if (attr)
                        out_.lit(u"&#xA;");
                    else
                        out_.lit(breakAsRef_ ? breakRef_ : lineBreak_);
                } else if (!isForbidden(c))
                    ref(c);
            }
        }
    }

    // cdata() on the packed form.
    void cdataPacked(const TXmlPackedText& t) {
        if constexpr (std::is_same_v<Out, ByteOut>) {
            static constexpr std::u16string_view open = u"<![CDATA[", close = u"]]>";
            out_.lit(open);
            const std::string_view b = t.bytes();
            const auto* p = reinterpret_cast<const unsigned char*>(b.data());
            const std::size_t n = b.size();
            for (std::size_t i = 0; i < n;) {
                std::size_t j = i;
                while (j < n) {
#if defined(__SSE2__)
                    // Sixteen bytes at a time up to one that may need care: a
                    // control but TAB, "]", or (in UTF-8) the lead byte of a
                    // surrogate or of U+FFFE and U+FFFF.
                    if (!latin1_ && n - j >= 16) {
                        const __m128i k1F = _mm_set1_epi8(0x1F);
                        while (n - j >= 16) {
                            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
                            __m128i ctl = _mm_andnot_si128(
                                _mm_cmpeq_epi8(x, _mm_set1_epi8('\t')),
                                _mm_cmpeq_epi8(_mm_max_epu8(x, k1F), k1F));
                            __m128i m = _mm_or_si128(
                                _mm_or_si128(ctl, _mm_cmpeq_epi8(x, _mm_set1_epi8(']'))),
                                _mm_or_si128(
                                    _mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(0xED))),
                                    _mm_cmpeq_epi8(x, _mm_set1_epi8(static_cast<char>(0xEF)))));
                            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
                            if (mask) {
                                j += static_cast<std::size_t>(__builtin_ctz(mask));
                                break;
                            }
                            j += 16;
                        }
                        // Back to the start of a sequence.
                        while (j < n && j > i && (p[j] & 0xC0) == 0x80)
                            --j;
                        if (j == n)
                            break;
                    }
#endif
                    const unsigned char c = p[j];
                    if (c < 0x80) {
                        if (!(plain_[c] & 4))
                            break;
                        ++j;
                        continue;
                    }
                    if (latin1_)
                        break;
                    // UTF-8 holds everything but surrogates alone and the
                    // two non-characters.
                    if (c != 0xED && c != 0xEF) {
                        j += c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
                        continue;
                    }
                    std::size_t len;
                    char32_t v = packedChar(p + j, len);
                    if ((v >= 0xD800 && v <= 0xDFFF) || v >= 0xFFFE)
                        break;
                    j += len;
                }
                out_.bytes(b.data() + i, j - i);
                if (j == n)
                    break;
                const unsigned char c = p[j];
                i = j + 1;
                if (c >= 0x80) {
                    std::size_t len;
                    char32_t v = packedChar(p + j, len);
                    i = j + len;
                    if (len == 3 && (isSurrogate(char16_t(v)) || isForbidden(char16_t(v))))
                        continue;
                    if (len != 4 && v <= 0xFF) {
                        const char16_t u = char16_t(v);
                        out_.narrow(&u, 1);
                    } else {
                        out_.lit(close);
                        ref(v);
                        out_.lit(open);
                    }
                } else if (c == '\n') {
                    if (breakAsRef_) {
                        out_.lit(close);
                        out_.lit(breakRef_);
                        out_.lit(open);
                    } else
                        out_.lit(lineBreak_);
                } else if (c == ']') {
                    if (i + 1 < n && p[i] == ']' && p[i + 1] == '>') {
                        out_.lit(u"]]");
                        out_.lit(close);
                        out_.lit(open);
                        ++i;
                    } else
                        out_.ch(u']');
                } else if (!isForbidden(c)) {
                    out_.lit(close);
                    ref(c);
                    out_.lit(open);
                }
            }
            out_.lit(close);
        }
    }

    // Text and attribute values: ASCII only, everything else a reference.
    void escaped(const std::u16string& v, bool attr) {
        const char16_t* p = v.data();
        std::size_t n = v.size();
        for (std::size_t i = 0; i < n;) {
            std::size_t j = i;
            unsigned char bit = attr ? 2 : 1;
            while (j < n && p[j] < 0x80 && (plain_[p[j]] & bit))
                ++j;
            out_.narrow(p + i, j - i);
            if (j == n)
                return;
            char16_t c = p[j];
            i = j + 1;
            if (c == u'&')
                out_.lit(u"&amp;");
            else if (c == u'<')
                out_.lit(u"&lt;");
            else if (c == u'"')
                out_.lit(u"&#34;");
            else if (c == u'>')
                out_.lit(j >= 2 && p[j - 1] == u']' && p[j - 2] == u']' ? u"&gt;" : u">");
            else if (c == u'\n') {
                if (attr)
                    out_.lit(u"&#xA;");
                else
                    out_.lit(breakAsRef_ ? breakRef_ : lineBreak_);
            } else if (isHigh(c) && i < n && isLow(p[i])) {
                ref(pairValue(c, p[i]));
                ++i;
            } else if (!isSurrogate(c) && !isForbidden(c))
                ref(c);
        }
    }

    // A character the output encoding cannot hold leaves the section for its
    // reference; "]]>" is split between "]]" and ">".
    void cdata(const std::u16string& v) {
        static constexpr std::u16string_view open = u"<![CDATA[", close = u"]]>";
        out_.lit(open);
        const char16_t* p = v.data();
        std::size_t n = v.size();
        for (std::size_t i = 0; i < n;) {
            std::size_t j = i;
            char16_t top = latin1_ ? 0xFF : 0xD7FF;
            while (j < n) {
                char16_t c = p[j];
                if (c < 0x80 ? !(plain_[c] & 4)
                             : (charset_ || (c > top && (latin1_ || c <= 0xDFFF || c >= 0xFFFE))))
                    break;
                ++j;
            }
            if (latin1_)
                out_.narrow(p + i, j - i);
            else
                out_.raw(p + i, j - i);
            if (j == n)
                break;
            char16_t c = p[j];
            i = j + 1;
            if (c == u'\n') {
                if (breakAsRef_) {
                    out_.lit(close);
                    out_.lit(breakRef_);
                    out_.lit(open);
                } else
                    out_.lit(lineBreak_);
            } else if (c == u']') {
                if (i + 1 < n && p[i] == u']' && p[i + 1] == u'>') {
                    out_.lit(u"]]");
                    out_.lit(close);
                    out_.lit(open);
                    ++i;
                } else
                    out_.ch(c);
            } else if (isHigh(c) && i < n && isLow(p[i])) {
                if (!held(pairValue(c, p[i]))) {
                    out_.lit(close);
                    ref(pairValue(c, p[i]));
                    out_.lit(open);
                } else
                    out_.raw(p + j, 2);
                ++i;
            } else if (c >= 0x80 && !isSurrogate(c) && !isForbidden(c) && held(c)) {
                out_.raw(p + j, 1);
            } else if (!isSurrogate(c) && !isForbidden(c)) {
                out_.lit(close);
                ref(c);
                out_.lit(open);
            }
        }
        out_.lit(close);
    }

    // Raw text where no reference is possible: what the encoding cannot hold
    // becomes "?" and what XML does not allow is left out. In a comment a
    // space keeps dashes from reading as its end ("--", or "-" last) and line
    // feeds follow the line break mode; in an instruction a space keeps "?>"
    // apart.
    void plain(const std::u16string& v, Plain kind) {
        const char16_t* p = v.data();
        std::size_t n = v.size();
        if (kind == Plain::Name && !charset_) {
            // Names are mostly printable ASCII, which every output holds.
            std::size_t k = 0;
            while (k < n && p[k] > 0x20 && p[k] < 0x7F)
                ++k;
            if (k == n) {
                out_.narrow(p, n);
                return;
            }
        }
        char16_t last = 0;
        for (std::size_t i = 0; i < n;) {
            std::size_t j = i;
            while (j < n) {
                char16_t c = p[j];
                if (isSurrogate(c) || isForbidden(c) || (latin1_ && c > 0xFF) ||
                    (charset_ && (c >= 0x80 || !asciiHeld_[c])) ||
                    (kind == Plain::Comment && (c == u'\n' || c == u'-')) ||
                    (kind == Plain::Instruction && c == u'>'))
                    break;
                ++j;
            }
            if (j > i) {
                out_.raw(p + i, j - i);
                last = p[j - 1];
            }
            if (j == n)
                break;
            char16_t c = p[j];
            i = j + 1;
            if (c == u'\n' && kind == Plain::Comment) {
                out_.lit(lineBreak_);
                last = c;
            } else if ((c == u'-' && last == u'-') || (c == u'>' && last == u'?')) {
                out_.ch(u' ');
                out_.ch(c);
                last = c;
            } else if (c == u'-' || c == u'>') {
                out_.ch(c);
                last = c;
            } else if (isHigh(c) && i < n && isLow(p[i])) {
                if (held(pairValue(c, p[i])))
                    out_.raw(p + j, 2);
                else
                    out_.ch(u'?');
                last = u'?';
                ++i;
            } else if (!isSurrogate(c) && !isForbidden(c)) {
                last = held(c) ? c : u'?';
                out_.ch(last);
            }
        }
        if (kind == Plain::Comment && last == u'-')
            out_.ch(u' ');
    }

    void comment(const std::u16string& v) {
        out_.lit(u"<!--");
        plain(v, Plain::Comment);
        out_.lit(u"-->");
    }

    void processingInstruction(const TXmlNode& n) {
        out_.lit(u"<?");
        plain(n.nodeName(), Plain::Name);
        out_.ch(u' ');
        plain(n.nodeValue(), Plain::Instruction);
        out_.lit(u"?>");
    }

    void quoted(const std::u16string& v) {
        char16_t q = v.find(u'"') == std::u16string::npos ? u'"' : u'\'';
        out_.ch(q);
        plain(v, Plain::Name);
        out_.ch(q);
    }

    void docType(const TXmlDocumentType& d) {
        out_.lit(u"<!DOCTYPE ");
        plain(d.nodeName(), Plain::Name);
        out_.ch(u' ');
        if (!d.publicId().empty()) {
            out_.lit(u"PUBLIC ");
            quoted(d.publicId());
            out_.ch(u' ');
            quoted(d.systemId());
        } else if (!d.systemId().empty()) {
            out_.lit(u"SYSTEM ");
            quoted(d.systemId());
        }
        if (TXmlNodeLinks::first(d)) {
            out_.ch(u'[');
            for (const TXmlNode* c = TXmlNodeLinks::first(d); c; c = TXmlNodeLinks::next(*c)) {
                out_.lit(u"\r\n  ");
                if (c->nodeType() == COMMENT_NODE)
                    comment(TXmlNodeLinks::value(*c, scratch_));
                else if (c->nodeType() == PROCESSING_INSTRUCTION_NODE)
                    processingInstruction(*c);
                else
                    plain(c->nodeValue(), Plain::Name);
            }
            out_.lit(u"\r\n]");
        }
        out_.ch(u'>');
    }

    // Whether the output encoding has the character (not a surrogate).
    bool held(char32_t c) const {
        if (latin1_)
            return c <= 0xFF;
        if (charset_)
            return c < 0x80 ? asciiHeld_[c] : charset_->holds(c);
        return true;
    }

    const TXmlDocumentSettings& s_;
    Out& out_;
    bool latin1_;
    TXmlCharset* charset_;
    // kAsciiPlain less the ASCII characters charset_ lacks.
    std::array<unsigned char, 128> plain_;
    std::array<bool, 128> asciiHeld_{};
    // Per open element: whether its content keeps whitespace.
    std::vector<bool> preserved_;
    // Character data widened for writing.
    mutable std::u16string scratch_;
    std::u16string_view lineBreak_;
    bool breakAsRef_;
    std::u16string_view breakRef_;
};

// Roughly the bytes of the document's text, so that the output grows once.
std::size_t sizeEstimate(const TXmlDocument& doc) {
    std::size_t size = 64;
    const TXmlNode* n = &doc;
    for (;;) {
        size += TXmlNodeLinks::writtenSize(*n);
        if (TXmlNodeLinks::first(*n)) {
            n = TXmlNodeLinks::first(*n);
            continue;
        }
        while (n != &doc && !TXmlNodeLinks::next(*n))
            n = TXmlNodeLinks::parent(*n);
        if (n == &doc)
            return size + size / 8;
        n = TXmlNodeLinks::next(*n);
    }
}

// A large output buffer is backed by huge pages where the system offers
// them: far fewer page faults while it fills.
void askHugePages(std::string& bytes) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    if (bytes.capacity() < 4 * kHuge)
        return;
    auto b = reinterpret_cast<std::uintptr_t>(bytes.data());
    std::uintptr_t from = (b + kHuge - 1) & ~(kHuge - 1);
    std::uintptr_t to = (b + bytes.capacity()) & ~(kHuge - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)bytes;
#endif
}

bool sameNameNoCase(std::u16string_view name, std::u16string_view upper) {
    if (name.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char16_t ch = name[i];
        if (ch >= u'a' && ch <= u'z')
            ch = char16_t(ch - 32);
        if (ch != upper[i])
            return false;
    }
    return true;
}

// The encoding named by the document's XML declaration; empty when none.
std::u16string_view declaredEncoding(const TXmlDocument& doc) {
    for (const TXmlNode* c = TXmlNodeLinks::first(doc); c; c = TXmlNodeLinks::next(*c)) {
        if (c->nodeType() != PROCESSING_INSTRUCTION_NODE || c->nodeName() != u"xml")
            continue;
        const std::u16string& data = c->nodeValue();
        std::size_t at = data.find(u"encoding=");
        if (at == std::u16string::npos || at + 9 >= data.size())
            return {};
        char16_t q = data[at + 9];
        std::size_t end = data.find(q, at + 10);
        if (end == std::u16string::npos)
            return {};
        return std::u16string_view(data.data() + at + 10, end - at - 10);
    }
    return {};
}

// How a document's bytes are written: one of the engine's encodings, or a
// set iconv writes (encoding is then ceUTF8, the text being made first).
struct OutputCharset {
    TXmlCharEncoding encoding = ceUTF8;
    std::unique_ptr<TXmlCharset> charset;
};

// The reader decodes a file by its byte order mark and then by the encoding
// its declaration names; the output follows the same rules, so that it reads
// back as the document's text.
OutputCharset outputCharset(const TXmlDocument& doc) {
    OutputCharset out;
    TXmlCharEncoding set = doc.settings().OutCharSet;
    std::u16string_view name = declaredEncoding(doc);
    bool utf16 = set == ceUTF16LE || set == ceUTF16BE;
    if (utf16 &&
        (name.empty() || (name.size() >= 6 && sameNameNoCase(name.substr(0, 6), u"UTF-16"))))
        out.encoding = set;
    else if (sameNameNoCase(name, u"ISO-8859-1"))
        out.encoding = ceISO88591;
    else if (!name.empty() && !sameNameNoCase(name, u"UTF-8"))
        out.charset = TXmlCharset::open(name);
    return out;
}

const TXmlDocumentSettings& settingsOf(const TXmlNode& node, TXmlDocumentPtr& keep) {
    static const TXmlDocumentSettings defaults;
    keep = node.ownerDocument();
    return keep ? keep->settings() : defaults;
}

[[noreturn]] void cannotCreate(const std::string& path) {
    throw EXmlCreateFileError(path);
}

// Symbolic links followed to the file a path names: a loop of links must
// not hold a save (the system's own bound is 40 as well).
constexpr int kMaxLinkHops = 40;

// The file a path finally names, following symbolic links (a dangling link
// names the file to be created).
std::string resolveLinks(const std::string& path) {
    std::string p = path;
    for (int hops = 0; hops < kMaxLinkHops; ++hops) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p;
        char buf[PATH_MAX];
        ssize_t n = readlink(p.c_str(), buf, sizeof buf - 1);
        if (n < 0)
            return p;
        std::string target(buf, std::size_t(n));
        if (target.empty() || target[0] != '/') {
            std::size_t slash = p.rfind('/');
            target = (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + target;
        }
        p = target;
    }
    return p;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

} // namespace

std::u16string xmlText(const TXmlNode& node) {
    TXmlDocumentPtr keep;
    const TXmlDocumentSettings& s = settingsOf(node, keep);
    OutputCharset cs;
    if (keep)
        cs = outputCharset(*keep);
    else
        cs.encoding = s.OutCharSet;
    std::u16string text;
    TextOut out(text);
    Writer<TextOut> w(s, cs.encoding, cs.charset.get(), out);
    if (node.nodeType() == DOCUMENT_NODE)
        w.document(node);
    else
        w.subtree(node);
    return text;
}

TXmlCharEncoding outputEncoding(const TXmlDocument& document) {
    return outputCharset(document).encoding;
}

std::string encodeXmlText(std::u16string_view text, TXmlCharEncoding encoding, bool signature) {
    std::string bytes;
    switch (encoding) {
    case ceUnknown:
    case ceISO88591:
    case ceUTF8: {
        bool latin1 = encoding != ceUTF8;
        bytes.reserve(text.size() + 3);
        if (signature && !latin1)
            bytes += "\xEF\xBB\xBF";
        ByteOut out(bytes, latin1);
        out.raw(text.data(), text.size());
        break;
    }
    case ceUTF16LE:
    case ceUTF16BE: {
        bool le = encoding == ceUTF16LE;
        bytes.resize(2 + 2 * text.size());
        bytes[0] = le ? '\xFF' : '\xFE';
        bytes[1] = le ? '\xFE' : '\xFF';
        for (std::size_t i = 0; i < text.size(); ++i) {
            char lo = char(text[i] & 0xFF), hi = char(text[i] >> 8);
            bytes[2 + 2 * i] = le ? lo : hi;
            bytes[3 + 2 * i] = le ? hi : lo;
        }
        break;
    }
    }
    return bytes;
}

// ISO-8859-1 and UTF-8 are encoded as they are written; UTF-16 from the text.
std::string xmlBytes(const TXmlDocument& document) {
    const TXmlDocumentSettings& s = document.settings();
    OutputCharset cs = outputCharset(document);
    TXmlCharEncoding enc = cs.encoding;
    if (cs.charset) {
        std::u16string text;
        TextOut out(text);
        Writer<TextOut> w(s, enc, cs.charset.get(), out);
        w.document(document);
        return cs.charset->encode(text);
    }
    if (enc == ceUTF16LE || enc == ceUTF16BE)
        return encodeXmlText(xmlText(document), enc, false);
    std::string bytes;
    // A loaded document has its size from the load (edits since change it
    // little); others are measured.
    std::size_t loaded = TXmlNodeLinks::loadedSize(document);
    bytes.reserve(loaded ? loaded + loaded / 8 + 64 : sizeEstimate(document));
    askHugePages(bytes);
    if (enc == ceUTF8 && s.WriteUTF8Signature)
        bytes = "\xEF\xBB\xBF";
    {
        ByteOut out(bytes, enc != ceUTF8);
        Writer<ByteOut> w(s, enc, nullptr, out);
        w.document(document);
    }
    return bytes;
}

void writeXmlBytes(const TXmlDocument& document,
                   const std::function<void(std::string_view)>& sink) {
    const TXmlDocumentSettings& s = document.settings();
    OutputCharset cs = outputCharset(document);
    const TXmlCharEncoding enc = cs.encoding;
    if (cs.charset || enc == ceUTF16LE || enc == ceUTF16BE) {
        sink(xmlBytes(document));
        return;
    }
    std::string chunk;
    chunk.reserve(ByteOut::kSinkChunk + 8192);
    if (enc == ceUTF8 && s.WriteUTF8Signature)
        chunk = "\xEF\xBB\xBF";
    {
        ByteOut out(chunk, enc != ceUTF8, &sink);
        Writer<ByteOut> w(s, enc, nullptr, out);
        w.document(document);
    }
    if (!chunk.empty())
        sink(chunk);
}

namespace {

// Replaces the file at path (see writeFileWhole): fill writes the new content
// to a temporary file (false on a write error); wholeBytes gives all of it at
// once for a target that has to be overwritten in place, so that nothing is
// truncated before the content is ready.
void replaceFile(const std::string& path, const std::function<bool(int fd)>& fill,
                 const std::function<std::string()>& wholeBytes) {
    std::string target = resolveLinks(path);
    struct stat st;
    bool exists = stat(target.c_str(), &st) == 0;
    if (exists &&
        (!S_ISREG(st.st_mode) || access(target.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0))
        cannotCreate(path);
    std::size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty())
        cannotCreate(path);
    std::string temp = (slash == std::string::npos ? std::string() : dir) + "." + base + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0 && exists) {
        // A folder that takes no new files but holds a writable target (a
        // published feed set up by an administrator): overwrite in place.
        const std::string bytes = wholeBytes();
        int out = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        bool ok = out >= 0 && writeAll(out, bytes) && fsync(out) == 0;
        if (out >= 0)
            ok = ::close(out) == 0 && ok;
        if (!ok)
            cannotCreate(path);
        return;
    }
    if (fd < 0)
        cannotCreate(path);
    mode_t mode;
    if (exists)
        mode = st.st_mode & 07777;
    else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok;
    try {
        ok = fchmod(fd, mode) == 0 && fill(fd) && fsync(fd) == 0;
    } catch (...) {
        // Nothing of a write that could not be finished is left behind.
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    if (exists && ok)
        (void)!fchown(fd, st.st_uid, st.st_gid);
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        cannotCreate(path);
    }
}

} // namespace

void writeFileWhole(const std::string& path, std::string_view bytes) {
    replaceFile(
        path, [bytes](int fd) { return writeAll(fd, bytes); },
        [bytes] { return std::string(bytes); });
}

bool saveToSource(const TXmlDocument& document, const std::string& destination,
                  const std::string& userName, const std::string& password, TXmlErrorList* errors) {
    if (findNoCase(destination, "FTP://") != std::string::npos)
        return putBytesByFtp(xmlBytes(document), destination.substr(6), userName, password, errors);
    std::string path = destination;
    if (startsWithNoCase(path, "FILE://"))
        path.erase(0, 7);
    // Written as it is made: a large feed never has its whole text in memory.
    replaceFile(
        path,
        [&document](int fd) {
            bool ok = true;
            writeXmlBytes(document,
                          [fd, &ok](std::string_view piece) { ok = ok && writeAll(fd, piece); });
            return ok;
        },
        [&document] { return xmlBytes(document); });
    return true;
}
