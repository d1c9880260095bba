#include "xml/XmlParser.h"

#include "xml/XmlChars.h"
#include "xml/XmlInCharFilter.h"
#include "xml/XmlMessages.h"
#include "xml/XmlSource.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Entity replacement is bounded so that a small document cannot make the
// reader produce gigabytes of text or recurse without end.
constexpr std::size_t kMaxEntityExpansion = 1000000;
constexpr std::size_t kMaxEntityDepth = 64;
// External DTD pieces (the subset and external parameter entities) one load
// reads, so that a document cannot make the reader fetch without bound;
// later ones fail as fetches that produced nothing.
constexpr std::size_t kMaxExternalFetches = 16;
// Open elements: deeper nesting is no feed, and every walk over the tree
// (writing it back too) is linear in it.
constexpr std::size_t kMaxElementDepth = 1024;
// Up to this many attributes in a start tag, a repeated name is looked for
// by comparing with each; beyond it through a set, so that huge tags stay
// linear.
constexpr std::size_t kMaxLinearAttributeCheck = 16;

using namespace xmlmsg;
using U16 = std::u16string;

// The first unit in [p, e) that is a, b, c or d; e when there is none.
inline const char16_t* findAny(const char16_t* p, const char16_t* e, char16_t a, char16_t b,
                               char16_t c, char16_t d) {
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
    const __m128i vc = _mm_set1_epi16(static_cast<short>(c));
    const __m128i vd = _mm_set1_epi16(static_cast<short>(d));
    while (e - p >= 8) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, va), _mm_cmpeq_epi16(x, vb)),
                                 _mm_or_si128(_mm_cmpeq_epi16(x, vc), _mm_cmpeq_epi16(x, vd)));
        int mask = _mm_movemask_epi8(m);
        if (mask)
            return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
        p += 8;
    }
#endif
    while (p < e && *p != a && *p != b && *p != c && *p != d)
        ++p;
    return p;
}

std::u16string number(long n) {
    return utf8ToUtf16(std::to_string(n));
}

std::u16string quoted(char16_t c) {
    return std::u16string(u"'") + c + u"'";
}

bool equalsNoCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z')
            x = static_cast<char16_t>(x - u'a' + u'A');
        if (y >= u'a' && y <= u'z')
            y = static_cast<char16_t>(y - u'a' + u'A');
        if (x != y)
            return false;
    }
    return true;
}

void appendCodePoint(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// Trims whitespace and collapses each inner run of it into one space.
void normalizeSpace(std::u16string& s) {
    // Text that is already normal up to some point (no whitespace at its
    // start, single spaces only) is kept as it is up to there.
    const char16_t* p = s.data();
    const std::size_t n = s.size();
    std::size_t from = 0;
    if (n && !isXmlSpace(p[0])) {
#if defined(__SSE2__)
        // Eight units at a time: a TAB, LF or CR, or a space before whitespace.
        const __m128i sp = _mm_set1_epi16(u' '), tab = _mm_set1_epi16(u'\t'),
                      lf = _mm_set1_epi16(u'\n'), cr = _mm_set1_epi16(u'\r');
        while (from + 9 <= n) {
            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
            __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from + 1));
            __m128i ctlX = _mm_or_si128(_mm_cmpeq_epi16(x, tab),
                                        _mm_or_si128(_mm_cmpeq_epi16(x, lf), _mm_cmpeq_epi16(x, cr)));
            __m128i wsY = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi16(y, sp), _mm_cmpeq_epi16(y, tab)),
                _mm_or_si128(_mm_cmpeq_epi16(y, lf), _mm_cmpeq_epi16(y, cr)));
            __m128i bad = _mm_or_si128(ctlX, _mm_and_si128(_mm_cmpeq_epi16(x, sp), wsY));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(bad));
            if (mask) {
                from += static_cast<std::size_t>(__builtin_ctz(mask)) / 2;
                goto irregular;
            }
            from += 8;
        }
#endif
        for (; from < n; ++from) {
            char16_t c = p[from];
            if (c == u' ' ? from + 1 == n || isXmlSpace(p[from + 1]) : isXmlSpace(c))
                break;
        }
        if (from == n)
            return;
    }
#if defined(__SSE2__)
irregular:
#endif
    std::size_t w = from;
    bool gap = false;
    for (std::size_t i = from; i < n; ++i) {
        char16_t c = s[i];
        if (isXmlSpace(c)) {
            gap = w > 0;
            continue;
        }
        if (gap) {
            s[w++] = u' ';
            gap = false;
        }
        s[w++] = c;
    }
    s.resize(w);
}

// One predefined entity gives one character; they cannot be redeclared.
char16_t predefinedEntity(const std::u16string& n) {
    switch (n.size()) {
    case 2:
        if (n[1] == u't') {
            if (n[0] == u'l')
                return u'<';
            if (n[0] == u'g')
                return u'>';
        }
        return 0;
    case 3:
        return n == u"amp" ? u'&' : 0;
    case 4:
        if (n == u"apos")
            return u'\'';
        return n == u"quot" ? u'"' : 0;
    default:
        return 0;
    }
}

enum NameClass : unsigned char { Other, Delimiter, NameStart, NameOnly };

struct NameTable {
    unsigned char cls[128];
    NameTable() {
        for (int c = 0; c < 128; ++c) {
            char16_t u = static_cast<char16_t>(c);
            cls[c] = isXmlNameStartChar(u) ? NameStart : isXmlNameChar(u) ? NameOnly : Other;
        }
        for (const char* d = " \t\n\r\"%&'()*+,/;<=>?[|"; *d; ++d)
            cls[static_cast<unsigned char>(*d)] = Delimiter;
    }
};
const NameTable Names;

bool isPubidChar(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    return c != 0 &&
           std::u16string_view(u" \r\n-'()+,./:=?;!*#@$_%").find(c) != std::u16string_view::npos;
}

struct Entity {
    enum Kind { Internal, External, Unparsed };
    Kind kind = Internal;
    bool parameter = false;
    std::u16string name;
    std::u16string value;  // replacement text of an internal entity
    std::u16string padded; // a parameter entity between declarations reads as " value "
    std::u16string systemId;
    std::string base; // location of the source that declared it
};

struct AttrDecl {
    std::u16string name;
    std::u16string folded; // name with a-z upper-cased
    bool tokenized = false;
    bool hasDefault = false;
    std::u16string defaultValue;
};

// The attributes declared for one element name, first declaration binding.
struct AttList {
    std::vector<AttrDecl> decls;
    std::unordered_set<std::u16string> folded;
};

enum class DtdMode { Internal, External };

} // namespace

struct TXmlParser::Impl {
    struct Source {
        std::unique_ptr<TXmlInCharFilter> filter; // null for the text of an entity
        std::unique_ptr<char16_t[]> buf;
        std::size_t cap = 0;
        const char16_t* begin = nullptr; // line and col count up to here
        const char16_t* cur = nullptr;
        const char16_t* end = nullptr;
        const Entity* entity = nullptr;
        bool autoPop = false; // an entity's text: reading goes on below it when it ends
        long line = 1;
        long col = 1;
        std::u16string file;  // location and name, for messages
        std::string location; // for resolving relative names
        unsigned serial = 0;
    };

    Impl(const TXmlReaderSettings& s, TXmlReaderSink& k, TXmlErrorList& e,
         std::vector<std::string>& t)
        : settings(s), sink(k), errors(e), tempFiles(t) {}

    const TXmlReaderSettings& settings;
    TXmlReaderSink& sink;
    TXmlErrorList& errors;
    std::vector<std::string>& tempFiles;

    bool opened = false;
    TXmlCharEncoding finalEncoding = ceUTF8;

    // Run state.
    std::vector<std::unique_ptr<Source>> sources;
    Source* top = nullptr;
    const char16_t* cur_ = nullptr;
    const char16_t* end_ = nullptr;
    unsigned nextSerial = 1;
    std::size_t entityDepth = 0;
    std::size_t expanded = 0;
    bool externalMissing = false;
    std::size_t externalFetches = 0;
    std::chrono::steady_clock::time_point fetchDeadline;

    std::deque<Entity> entityStore;
    std::unordered_map<std::u16string, Entity*> general;
    std::unordered_map<std::u16string, Entity*> parameter;
    std::unordered_map<std::u16string, AttList> attlists;
    std::unordered_map<std::u16string, std::size_t> givenIndex;
    std::vector<const Entity*> attrExpanding;

    std::vector<std::u16string> names; // open elements; slots are reused
    std::vector<char> preserve;
    std::size_t depth = 0;

    std::u16string pending;
    // What the input read now touches with nothing between: a CDATA section
    // (or reference-only text joined to one) reported last, or an empty CDATA
    // section that made no node. Whitespace and other markup end the touch.
    enum class Touch { Nothing, Piece, EmptyCData };
    Touch touching = Touch::Nothing;
    // Whether the pending text holds characters written as themselves, not
    // only character or entity references. Only reference-only text joins a
    // CDATA section: that is how the writer splits one around characters the
    // output encoding cannot hold; literal text beside a section stays apart.
    bool pendingLiteral = false;
    // The last structure reported in the open element is a text, with at
    // most empty CDATA sections after it: text read now belongs to it (a
    // tree never holds two texts side by side, which could not be written).
    bool textLast = false;
    std::u16string scratch;
    std::vector<TXmlAttr> attrBuffer;
    std::vector<TXmlAttr> spareAttrs; // their strings' room, for the next tags
    std::unordered_set<std::u16string> foldedNames;
    std::u16string refName;

    bool capturing = false;
    unsigned captureSerial = 0;
    const char16_t* captureFrom = nullptr;
    std::u16string capture;

    // ---- run ----

    void reset() {
        sources.clear();
        top = nullptr;
        cur_ = end_ = nullptr;
        entityDepth = 0;
        expanded = 0;
        externalMissing = false;
        externalFetches = 0;
        entityStore.clear();
        general.clear();
        parameter.clear();
        attlists.clear();
        attrExpanding.clear();
        depth = 0;
        pending.clear();
        pendingLiteral = false;
        textLast = false;
        touching = Touch::Nothing;
        pending.reserve(1024);
        capturing = false;
        opened = false;
        finalEncoding = ceUTF8;
        static const char16_t* const predefined[][2] = {{u"amp", u"&#38;"},
                                                        {u"lt", u"&#60;"},
                                                        {u"gt", u"&#62;"},
                                                        {u"apos", u"&#39;"},
                                                        {u"quot", u"&#34;"}};
        for (auto& p : predefined) {
            Entity& e = entityStore.emplace_back();
            e.name = p[0];
            e.value = p[1];
            general.emplace(e.name, &e);
        }
    }

    bool run(std::unique_ptr<TXmlInCharFilter> filter, const std::string& fileName) {
        std::size_t before = errors.size();
        auto src = std::make_unique<Source>();
        src->filter = std::move(filter);
        src->file = utf8ToUtf16(fileName);
        std::string name;
        splitLocation(fileName, src->location, name);
        pushSource(std::move(src));
        opened = true;
        try {
            parseDocument();
        } catch (const EXmlParserError& e) {
            errors.push_back(xmlmsg::fill<U16>(kErrorLine, e.file(), number(e.line()),
                                               number(e.column()), e.message()));
        } catch (const EXmlFilterError& e) {
            long line, col;
            std::u16string file;
            where(line, col, file);
            errors.push_back(xmlmsg::fill<U16>(kErrorLine, wide(kUnknownFile), number(line),
                                               number(col), e.message()));
        }
        finalEncoding = sources.front()->filter->encoding();
        sources.clear();
        top = nullptr;
        return errors.size() == before;
    }

    // ---- sources ----

    void pushSource(std::unique_ptr<Source> s) {
        flushCapture();
        if (top)
            top->cur = cur_;
        s->serial = nextSerial++;
        if (s->entity)
            ++entityDepth;
        sources.push_back(std::move(s));
        top = sources.back().get();
        cur_ = top->cur;
        end_ = top->end;
    }

    void pushEntityText(const Entity* e, const std::u16string& text) {
        auto s = std::make_unique<Source>();
        s->begin = s->cur = text.data();
        s->end = text.data() + text.size();
        s->entity = e;
        s->autoPop = true;
        pushSource(std::move(s));
    }

    void popSource() {
        if (capturing && top->serial == captureSerial) {
            capture.append(captureFrom, cur_);
            captureSerial = 0;
        }
        if (top->entity)
            --entityDepth;
        sources.pop_back();
        top = sources.back().get();
        cur_ = top->cur;
        end_ = top->end;
        resumeCapture();
    }

    static void advance(long& line, long& col, const char16_t* b, const char16_t* e) {
        long lines = static_cast<long>(std::count(b, e, u'\n'));
        if (lines == 0) {
            col += static_cast<long>(e - b);
            return;
        }
        line += lines;
        const char16_t* p = e;
        while (p[-1] != u'\n')
            --p;
        col = 1 + static_cast<long>(e - p);
    }

    // Decodes more of the top source behind what is left unread.
    bool refill() {
        Source* s = top;
        if (!s->filter)
            return false;
        flushCapture();
        advance(s->line, s->col, s->begin, cur_);
        std::size_t left = static_cast<std::size_t>(end_ - cur_);
        std::size_t need = left + s->filter->maxDecoded();
        if (s->cap < need) {
            std::size_t cap = std::max(need, s->cap * 2);
            auto buf = std::make_unique<char16_t[]>(cap);
            if (left)
                std::memcpy(buf.get(), cur_, left * sizeof(char16_t));
            s->buf = std::move(buf);
            s->cap = cap;
        } else if (left && cur_ != s->buf.get()) {
            std::memmove(s->buf.get(), cur_, left * sizeof(char16_t));
        }
        s->begin = s->cur = cur_ = s->buf.get();
        s->end = end_ = cur_ + left;
        resumeCapture();
        std::size_t n = 0;
        while (n == 0 && !s->filter->finished())
            n = s->filter->decode(s->buf.get() + left);
        s->end = end_ = s->buf.get() + left + n;
        if (s->entity)
            countExpansion(n);
        return n > 0;
    }

    // Called when the top source is used up: more text, or the source below.
    bool fill() {
        for (;;) {
            if (top->filter && refill())
                return true;
            if (!top->autoPop)
                return false;
            popSource();
            if (cur_ != end_)
                return true;
        }
    }

    bool more() { return cur_ != end_ || fill(); }

    // At least n characters of the top source are buffered (no popping).
    bool ensure(std::size_t n) {
        while (static_cast<std::size_t>(end_ - cur_) < n) {
            if (!top->filter || top->filter->finished())
                return false;
            std::size_t had = static_cast<std::size_t>(end_ - cur_);
            refill();
            if (static_cast<std::size_t>(end_ - cur_) == had && top->filter->finished())
                return false;
        }
        return true;
    }

    bool lookingAt(const char16_t* lit) {
        std::size_t n = std::char_traits<char16_t>::length(lit);
        return ensure(n) && std::memcmp(cur_, lit, n * sizeof(char16_t)) == 0;
    }

    bool match(const char16_t* lit) {
        if (!lookingAt(lit))
            return false;
        cur_ += std::char_traits<char16_t>::length(lit);
        return true;
    }

    // A required piece of markup that may be missing: take what is there.
    void matchLenient(const char16_t* lit) {
        for (; *lit; ++lit) {
            if (!more() || *cur_ != *lit)
                return;
            ++cur_;
        }
    }

    // ---- capture of declaration markup ----

    void startCapture(const std::u16string& keyword) {
        capture = u"<!" + keyword;
        capturing = true;
        captureSerial = top->serial;
        captureFrom = cur_;
    }

    void flushCapture() {
        if (capturing && top && top->serial == captureSerial) {
            capture.append(captureFrom, cur_);
            captureFrom = cur_;
        }
    }

    void resumeCapture() {
        if (capturing && top->serial == captureSerial)
            captureFrom = cur_;
    }

    std::u16string endCapture() {
        flushCapture();
        capturing = false;
        return std::move(capture);
    }

    // ---- errors ----

    void where(long& line, long& col, std::u16string& file) {
        line = 1;
        col = 1;
        file.clear();
        for (auto it = sources.rbegin(); it != sources.rend(); ++it) {
            Source* s = it->get();
            if (!s->filter)
                continue;
            line = s->line;
            col = s->col;
            advance(line, col, s->begin, s == top ? cur_ : s->cur);
            file = s->file;
            return;
        }
    }

    [[noreturn]] void fail(const std::u16string& message) {
        long line, col;
        std::u16string file;
        where(line, col, file);
        throw EXmlParserError(message, line, col, file);
    }

    [[noreturn]] void failWhitespace() {
        long line, col;
        std::u16string file;
        where(line, col, file);
        fail(xmlmsg::fill<U16>(kWhitespaceExpected, number(line), number(col)));
    }

    void countExpansion(std::size_t n) {
        expanded += n;
        if (expanded > kMaxEntityExpansion)
            fail(wide(kExpansionLimit));
    }

    void checkEntity(const Entity* e) {
        for (auto& s : sources)
            if (s->entity == e)
                fail(wide(kCircularReference) + e->name);
        for (const Entity* a : attrExpanding)
            if (a == e)
                fail(wide(kCircularReference) + e->name);
        if (entityDepth + attrExpanding.size() + 1 > kMaxEntityDepth)
            fail(wide(kExpansionLimit));
    }

    // Whether what is being read belongs to the document itself (and not to
    // an external DTD piece, whose markup is used but not reported).
    bool reporting() const {
        for (auto it = sources.rbegin(); it != sources.rend(); ++it)
            if ((*it)->filter)
                return it->get() == sources.front().get();
        return false;
    }

    // ---- lexical pieces ----

    bool skipSpace() {
        bool any = false;
        for (;;) {
            if (cur_ == end_ && !fill())
                return any;
            const char16_t* p = cur_;
            while (p < end_ && isXmlSpace(*p))
                ++p;
            if (p != cur_)
                any = true;
            cur_ = p;
            if (p != end_)
                return any;
        }
    }

    void readName(std::u16string& out) {
        out.clear();
        if (!more())
            fail(wide(kEndOfFile));
        char16_t c = *cur_;
        if (c < 128 ? Names.cls[c] != NameStart : !isXmlNameStartChar(c))
            fail(wide(kInvalidName) + quoted(c));
        out.push_back(c);
        ++cur_;
        for (;;) {
            if (cur_ == end_ && !fill())
                return;
            const char16_t* p = cur_;
            while (p < end_ && *p < 128 && Names.cls[*p] >= NameStart)
                ++p;
            out.append(cur_, p);
            cur_ = p;
            if (p == end_)
                continue;
            c = *p;
            if (c < 128) {
                if (Names.cls[c] == Delimiter)
                    return;
                fail(wide(kInvalidName) + quoted(c));
            }
            if (!isXmlNameChar(c))
                fail(wide(kInvalidName) + quoted(c));
            out.push_back(c);
            ++cur_;
        }
    }

    void failIllegalReference(char16_t c) {
        fail(xmlmsg::fill<U16>(kIllegalReference, U16(1, c), number(c)));
    }

    // After "&#": the digits and ";".
    char32_t charReference() {
        if (!more())
            fail(wide(kEndOfFile));
        bool hex = *cur_ == u'x';
        if (hex)
            ++cur_;
        char32_t v = 0;
        bool digits = false;
        for (;;) {
            if (!more())
                fail(wide(kEndOfFile));
            char16_t c = *cur_;
            if (c == u';')
                break;
            addReferenceDigit(v, c, hex);
            digits = true;
            ++cur_;
        }
        checkReferenceValue(digits, v);
        ++cur_;
        return v;
    }

    // One more digit of a character reference; the value saturates above
    // the last code point so that long digit runs cannot overflow.
    void addReferenceDigit(char32_t& v, char16_t c, bool hex) {
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            failIllegalReference(c);
        v = std::min<char32_t>(v * (hex ? 16 : 10) + d, 0x110000);
    }

    void checkReferenceValue(bool digits, char32_t v) {
        if (!digits || v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
            failIllegalReference(u';');
    }

    // The same on a replacement text, from just after "&#".
    char32_t charReferenceIn(const std::u16string& s, std::size_t& i) {
        bool hex = i < s.size() && s[i] == u'x';
        if (hex)
            ++i;
        char32_t v = 0;
        bool digits = false;
        for (;; ++i) {
            if (i >= s.size())
                fail(wide(kEndOfFile));
            char16_t c = s[i];
            if (c == u';')
                break;
            addReferenceDigit(v, c, hex);
            digits = true;
        }
        checkReferenceValue(digits, v);
        ++i;
        return v;
    }

    // A quoted literal taken as it stands (system and public identifiers).
    void literal(std::u16string& out) {
        out.clear();
        if (!more() || (*cur_ != u'"' && *cur_ != u'\''))
            fail(wide(kExpectedQuote));
        char16_t q = *cur_++;
        for (;;) {
            if (cur_ == end_ && !fill())
                fail(wide(kExpectedDelimiter) + q);
            const char16_t* p = cur_;
            p = findAny(p, end_, q, q, q, q);
            out.append(cur_, p);
            cur_ = p;
            if (p != end_) {
                ++cur_;
                return;
            }
        }
    }

    // ---- attribute values ----

    void attributeValue(std::u16string& out) {
        out.clear();
        if (!more() || (*cur_ != u'"' && *cur_ != u'\''))
            fail(wide(kExpectedQuote));
        char16_t q = *cur_++;
        bool sawReference = false;
        char16_t raw = 0;
        for (;;) {
            if (cur_ == end_ && !fill())
                fail(wide(kExpectedDelimiter) + q);
            const char16_t* p = cur_;
            p = findAny(p, end_, q, u'&', u'<', u'\n');
            out.append(cur_, p);
            cur_ = p;
            if (p == end_)
                continue;
            char16_t c = *cur_++;
            if (c == q)
                break;
            if (c == u'\n') {
                out.push_back(u' ');
                continue;
            }
            if (c == u'<') {
                if (!raw)
                    raw = c;
                out.push_back(c);
                continue;
            }
            if (!more())
                fail(wide(kExpectedDelimiter) + q);
            if (*cur_ == u'#') {
                ++cur_;
                appendCodePoint(out, charReference());
                sawReference = true;
                continue;
            }
            if (!isXmlNameStartChar(*cur_)) {
                if (!raw)
                    raw = c;
                out.push_back(c);
                continue;
            }
            readName(refName);
            if (!more() || *cur_ != u';') {
                if (!raw)
                    raw = c;
                out.push_back(c);
                out += refName;
                continue;
            }
            ++cur_;
            sawReference = true;
            expandInAttribute(refName, out);
        }
        if (!sawReference && raw)
            fail(wide(kInvalidAttributeCharacter) + quoted(raw));
    }

    void expandInAttribute(const std::u16string& name, std::u16string& out) {
        if (char16_t c = predefinedEntity(name)) {
            out.push_back(c);
            return;
        }
        auto it = general.find(name);
        if (it == general.end() || it->second->kind != Entity::Internal)
            return;
        const Entity* e = it->second;
        checkEntity(e);
        countExpansion(e->value.size());
        attrExpanding.push_back(e);
        const std::u16string& v = e->value;
        for (std::size_t i = 0; i < v.size();) {
            char16_t c = v[i];
            if (c == u'\n') {
                out.push_back(u' ');
                ++i;
            } else if (c != u'&') {
                out.push_back(c);
                ++i;
            } else if (i + 1 < v.size() && v[i + 1] == u'#') {
                i += 2;
                appendCodePoint(out, charReferenceIn(v, i));
            } else {
                std::size_t j = i + 1;
                while (j < v.size() && v[j] != u';')
                    ++j;
                std::u16string inner = v.substr(i + 1, j - i - 1);
                if (j >= v.size() || !isXmlName(inner)) {
                    out.push_back(c);
                    ++i;
                    continue;
                }
                expandInAttribute(inner, out);
                i = j + 1;
            }
        }
        attrExpanding.pop_back();
    }

    // ---- document ----

    void parseDocument() {
        bool declarationAllowed = true;
        bool doctypeSeen = false;
        for (;;) {
            if (!declarationAllowed)
                sources.front()->filter->declarationPassed();
            skipSpace();
            if (!more())
                fail(wide(kEndOfFile));
            if (*cur_ != u'<')
                fail(wide(kExpectedElement));
            ++cur_;
            if (!more())
                fail(wide(kEndOfFile));
            char16_t c = *cur_;
            // Only "<?xml" can still name an encoding: decode the rest in
            // full windows (a long comment of quotes would otherwise come
            // in tiny pieces).
            if (!(c == u'?' && declarationAllowed && lookingAt(u"?xml") && ensure(5) &&
                  (isXmlSpace(cur_[4]) || cur_[4] == u'?')))
                sources.front()->filter->declarationPassed();
            if (c == u'?') {
                ++cur_;
                processingInstruction(declarationAllowed, true);
                declarationAllowed = false;
                continue;
            }
            if (c == u'!') {
                ++cur_;
                if (more() && *cur_ == u'-') {
                    ++cur_;
                    matchLenient(u"-");
                    comment();
                } else if (!doctypeSeen && match(u"DOCTYPE")) {
                    doctype();
                    doctypeSeen = true;
                } else {
                    fail(xmlmsg::fill<U16>(kExpectedCommentOrCData, U16(1, more() ? *cur_ : u' ')));
                }
                declarationAllowed = false;
                continue;
            }
            break;
        }
        sources.front()->filter->declarationPassed();
        startTag();
        if (depth)
            content();
        for (;;) {
            skipSpace();
            if (!more())
                return;
            if (*cur_ != u'<')
                fail(wide(kDataAfterDocument));
            ++cur_;
            if (more() && *cur_ == u'?') {
                ++cur_;
                processingInstruction(false, true);
            } else if (more() && *cur_ == u'!' && (++cur_, more()) && *cur_ == u'-') {
                ++cur_;
                matchLenient(u"-");
                comment();
            } else {
                fail(wide(kDataAfterDocument));
            }
        }
    }

    // After "<?". declarationAllowed: an XML declaration may stand here.
    void processingInstruction(bool declarationAllowed, bool report) {
        std::u16string target;
        readName(target);
        if (target == u"xml") {
            if (!declarationAllowed)
                fail(wide(kLateDeclaration));
            xmlDeclaration(report);
            return;
        }
        bool space = skipSpace();
        std::u16string data;
        for (;;) {
            if (cur_ == end_ && !fill())
                fail(wide(kUnterminated) + u"'?>'");
            const char16_t* p = cur_;
            p = findAny(p, end_, u'?', u'?', u'?', u'?');
            data.append(cur_, p);
            cur_ = p;
            if (p == end_)
                continue;
            if (!ensure(2))
                fail(wide(kUnterminated) + u"'?>'");
            if (cur_[1] == u'>') {
                cur_ += 2;
                break;
            }
            data.push_back(u'?');
            ++cur_;
        }
        if (!space && !data.empty())
            failWhitespace();
        if (report && reporting())
            sink.processingInstruction(target, std::move(data));
    }

    void pseudoValue(std::u16string& out) {
        skipSpace();
        matchLenient(u"=");
        skipSpace();
        literal(out);
    }

    // After "<?xml": the declaration (or the text declaration of an external piece).
    void xmlDeclaration(bool report) {
        std::u16string name, version, encoding, standalone;
        bool hasEncoding = false, hasStandalone = false;
        int stage = 0; // 0 version, 1 encoding, 2 standalone, 3 done
        for (;;) {
            bool space = skipSpace();
            if (!more())
                fail(wide(kEndOfFile));
            if (*cur_ == u'?' || *cur_ == u'>' || *cur_ == u'<')
                break;
            if (!space)
                failWhitespace();
            readName(name);
            std::u16string value;
            pseudoValue(value);
            if (name == u"version" && stage == 0) {
                version = value;
                stage = 1;
                for (char16_t c : value)
                    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u':' ||
                          c == u'_'))
                        fail(wide(kInvalidVersion) + u"'" + value + u"'");
                if (value != u"1.0")
                    fail(xmlmsg::fill<U16>(kUnsupportedVersion, u"1.0"));
            } else if (name == u"encoding" && stage <= 1) {
                stage = 2;
                hasEncoding = true;
                encoding = value;
                bool ok = !value.empty() && ((value[0] >= u'a' && value[0] <= u'z') ||
                                             (value[0] >= u'A' && value[0] <= u'Z'));
                for (char16_t c : value)
                    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                          (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'=' ||
                          c == u'_'))
                        ok = false;
                if (!ok)
                    fail(wide(kInvalidEncoding) + u"'" + value + u"'");
                if (top->filter)
                    top->filter->switchEncoding(value);
            } else if (name == u"standalone" && stage <= 2) {
                stage = 3;
                hasStandalone = true;
                standalone = value;
                if (value != u"yes" && value != u"no")
                    fail(wide(kInvalidStandalone));
            }
        }
        if (more() && *cur_ == u'?')
            ++cur_;
        if (more() && *cur_ == u'>')
            ++cur_;
        if (!report || !reporting())
            return;
        std::u16string data = u"version=\"1.0\"";
        if (hasEncoding)
            data += u" encoding=\"" + encoding + u"\"";
        if (hasStandalone)
            data += u" standalone=\"" + standalone + u"\"";
        sink.processingInstruction(u"xml", std::move(data));
    }

    // After "<!--" (or "<!-").
    void comment() {
        scratch.clear();
        for (;;) {
            if (cur_ == end_ && !fill())
                fail(wide(kUnterminated) + u"'-->'");
            const char16_t* p = cur_;
            p = findAny(p, end_, u'-', u'-', u'-', u'-');
            scratch.append(cur_, p);
            cur_ = p;
            if (p == end_)
                continue;
            if (!ensure(2) || cur_[1] != u'-') {
                scratch.push_back(u'-');
                ++cur_;
                continue;
            }
            if (!ensure(3))
                fail(wide(kUnterminated) + u"'-->'");
            if (cur_[2] != u'>')
                fail(wide(kInvalidComment));
            cur_ += 3;
            break;
        }
        if (reporting())
            sink.commentView(scratch);
    }

    // After "<![CDATA["; before: what the section touches. False when the
    // section was empty and made no node.
    bool cdataSection(Touch before) {
        scratch.clear();
        for (;;) {
            if (cur_ == end_ && !fill())
                fail(wide(kUnterminated) + u"']]>'");
            const char16_t* p = cur_;
            p = findAny(p, end_, u']', u']', u']', u']');
            scratch.append(cur_, p);
            cur_ = p;
            if (p == end_)
                continue;
            if (ensure(3) && cur_[1] == u']' && cur_[2] == u'>') {
                cur_ += 3;
                break;
            }
            scratch.push_back(u']');
            ++cur_;
        }
        Touch after = before == Touch::Piece ? Touch::Piece : Touch::EmptyCData;
        bool made = !scratch.empty();
        if (made) {
            if (before == Touch::Piece)
                sink.joinNextCharacterData();
            sink.cdataView(scratch);
            after = Touch::Piece;
        }
        touching = more() && !isXmlSpace(*cur_) ? after : Touch::Nothing;
        return made;
    }

    // ---- elements ----

    void startTag() {
        if (depth >= kMaxElementDepth)
            fail(wide(kNestedTooDeeply));
        if (names.size() <= depth)
            names.resize(depth + 1);
        std::u16string& name = names[depth];
        readName(name);
        // The list is the parser's own between start tags, so that its room
        // is reused.
        std::vector<TXmlAttr>& attrs = attrBuffer;
        for (TXmlAttr& a : attrs)
            spareAttrs.push_back(std::move(a));
        attrs.clear();
        bool empty = false;
        for (;;) {
            bool space = skipSpace();
            if (!more())
                fail(wide(kEndOfFile));
            char16_t c = *cur_;
            if (c == u'>') {
                ++cur_;
                break;
            }
            if (c == u'/') {
                ++cur_;
                matchLenient(u">");
                empty = true;
                break;
            }
            if (!space)
                failWhitespace();
            TXmlAttr a;
            if (!spareAttrs.empty()) {
                a = std::move(spareAttrs.back());
                spareAttrs.pop_back();
            }
            readName(a.name);
            skipSpace();
            matchLenient(u"=");
            skipSpace();
            attributeValue(a.value);
            checkRedefinition(a.name, attrs);
            attrs.push_back(std::move(a));
        }
        if (!attlists.empty())
            applyAttributeList(name, attrs);
        bool keep = depth ? preserve[depth - 1] != 0 : false;
        for (const TXmlAttr& a : attrs) {
            if (a.name == u"xml:space") {
                if (a.value == u"preserve")
                    keep = true;
                else if (a.value == u"default")
                    keep = false;
            }
        }
        if (settings.onPreserveSpace && settings.onPreserveSpace(name))
            keep = true;
        if (name == u"xsl:text")
            keep = true;
        sink.startElement(name, std::move(attrs), empty);
        if (!empty) {
            if (preserve.size() <= depth)
                preserve.resize(depth + 1);
            preserve[depth] = keep;
            ++depth;
        }
    }

    // Names compare without regard to ASCII case; a long attribute list is
    // checked through a set so that a huge start tag stays linear.
    void checkRedefinition(const std::u16string& name, const std::vector<TXmlAttr>& attrs) {
        if (attrs.size() < kMaxLinearAttributeCheck) {
            for (const TXmlAttr& b : attrs)
                if (equalsNoCase(name, b.name))
                    fail(wide(kRedefinedAttribute));
            return;
        }
        if (attrs.size() == kMaxLinearAttributeCheck) {
            foldedNames.clear();
            for (const TXmlAttr& b : attrs)
                foldedNames.insert(foldCase(b.name));
        }
        if (!foldedNames.insert(foldCase(name)).second)
            fail(wide(kRedefinedAttribute));
    }

    static std::u16string foldCase(std::u16string s) {
        for (char16_t& c : s)
            if (c >= u'a' && c <= u'z')
                c = static_cast<char16_t>(c - u'a' + u'A');
        return s;
    }

    // Declared names compare as the duplicate check of a start tag does
    // (without regard to case), so a default never adds a second attribute
    // that would make the element unreadable. Given attributes are looked up
    // through an index of their folded names: both lists may be long.
    void applyAttributeList(const std::u16string& element, std::vector<TXmlAttr>& attrs) {
        auto it = attlists.find(element);
        if (it == attlists.end())
            return;
        const AttList& list = it->second;
        givenIndex.clear();
        for (std::size_t i = 0; i < attrs.size(); ++i)
            givenIndex.emplace(foldCase(attrs[i].name), i);
        for (const AttrDecl& d : list.decls) {
            auto g = givenIndex.find(d.folded);
            if (g != givenIndex.end()) {
                if (d.tokenized)
                    normalizeSpace(attrs[g->second].value);
            } else if (d.hasDefault) {
                attrs.push_back(TXmlAttr{d.name, d.defaultValue});
            }
        }
    }

    void endTag() {
        const std::u16string& open = names[depth - 1];
        // The usual end tag, the open name and then a delimiter, is taken as
        // it stands in the buffer.
        const std::size_t n = open.size();
        if (static_cast<std::size_t>(end_ - cur_) > n &&
            std::memcmp(cur_, open.data(), n * sizeof(char16_t)) == 0 && cur_[n] < 128 &&
            Names.cls[cur_[n]] == Delimiter && n) {
            cur_ += n;
            skipSpace();
            matchLenient(u">");
            sink.endElement();
            --depth;
            return;
        }
        readName(scratch);
        if (scratch != open)
            fail(xmlmsg::fill<U16>(kMismatchedEndTag, open, scratch));
        skipSpace();
        matchLenient(u">");
        sink.endElement();
        --depth;
    }

    void flushText() {
        if (pending.empty())
            return;
        const Touch before = pendingLiteral ? Touch::Nothing : touching;
        pendingLiteral = false;
        touching = before;
        bool normalize = settings.normalizeData && !preserve[depth - 1];
        if (normalize) {
            normalizeSpace(pending);
            if (pending.empty())
                return;
        }
        // Text touching an empty section is still text of a CDATA section:
        // the writer leaves one empty where the value begins or ends with a
        // character it had to write as a reference.
        if (before == Touch::EmptyCData) {
            sink.cdataView(pending);
            textLast = false;
        } else {
            if (before == Touch::Piece || textLast)
                sink.joinNextCharacterData();
            // Trimmed texts joined keep the space text() puts between them.
            if (textLast && before != Touch::Piece && normalize)
                pending.insert(pending.begin(), u' ');
            sink.textView(pending);
            textLast = before != Touch::Piece;
        }
        pending.clear();
        touching = before == Touch::Nothing ? Touch::Nothing : Touch::Piece;
    }

    void content() {
        while (depth) {
            for (;;) {
                if (cur_ == end_ && !fill())
                    fail(wide(kEndOfFile));
                const char16_t* p = cur_;
                p = findAny(p, end_, u'<', u'&', u']', u']');
                if (p != cur_)
                    pendingLiteral = true;
                pending.append(cur_, p);
                cur_ = p;
                if (p == end_)
                    continue;
                if (*p != u']')
                    break;
                if (ensure(3) && cur_[1] == u']' && cur_[2] == u'>')
                    fail(wide(kCDataEndInText));
                pending.push_back(u']');
                pendingLiteral = true;
                ++cur_;
            }
            if (*cur_ == u'&') {
                ++cur_;
                contentReference();
                continue;
            }
            ++cur_;
            flushText();
            if (!more())
                fail(wide(kEndOfFile));
            Touch before = touching;
            touching = Touch::Nothing;
            bool textBefore = textLast;
            textLast = false;
            char16_t c = *cur_;
            if (c == u'/') {
                ++cur_;
                endTag();
            } else if (c == u'!') {
                ++cur_;
                if (!more())
                    fail(wide(kEndOfFile));
                c = *cur_;
                if (c == u'-') {
                    ++cur_;
                    matchLenient(u"-");
                    comment();
                } else if (c == u'[') {
                    ++cur_;
                    matchLenient(u"CDATA[");
                    if (!cdataSection(before))
                        textLast = textBefore;
                } else {
                    fail(xmlmsg::fill<U16>(kExpectedCommentOrCData, U16(1, c)));
                }
            } else if (c == u'?') {
                ++cur_;
                processingInstruction(false, true);
            } else {
                startTag();
            }
        }
    }

    // After "&" in character data.
    void contentReference() {
        if (!more())
            fail(wide(kEndOfFile));
        if (*cur_ == u'#') {
            ++cur_;
            appendCodePoint(pending, charReference());
            return;
        }
        readName(refName);
        if (!more() || *cur_ != u';') {
            // Not a reference after all ("AT&T"): the text stays as written.
            pending.push_back(u'&');
            pending += refName;
            pendingLiteral = true;
            return;
        }
        ++cur_;
        if (char16_t c = predefinedEntity(refName)) {
            pending.push_back(c);
            return;
        }
        auto it = general.find(refName);
        // Undeclared, unparsed and external entities add nothing: a document
        // must not pull a local file or URL into what is published.
        if (it == general.end() || it->second->kind != Entity::Internal)
            return;
        const Entity* e = it->second;
        checkEntity(e);
        if (e->value.empty())
            return;
        countExpansion(e->value.size());
        pushEntityText(e, e->value);
    }

    // ---- document type ----

    void doctype() {
        if (!skipSpace())
            failWhitespace();
        std::u16string name, publicId, systemId;
        readName(name);
        skipSpace();
        if (more() && (*cur_ == u'S' || *cur_ == u'P'))
            externalId(publicId, systemId, false);
        sink.startDocType(name, publicId, systemId);
        if (more() && *cur_ == u'[') {
            ++cur_;
            declarations(DtdMode::Internal);
            skipSpace();
        }
        matchLenient(u">");
        if (!systemId.empty())
            readExternal(systemId, sources.front()->location, nullptr);
        sink.endDocType();
    }

    // "SYSTEM" literal or "PUBLIC" literal [literal]; the system literal may
    // be missing only when optionalSystem (a NOTATION).
    void externalId(std::u16string& publicId, std::u16string& systemId, bool optionalSystem) {
        std::u16string keyword;
        readName(keyword);
        if (keyword == u"SYSTEM") {
            if (!skipDeclSpace())
                failWhitespace();
            literal(systemId);
        } else if (keyword == u"PUBLIC") {
            if (!skipDeclSpace())
                failWhitespace();
            literal(publicId);
            for (char16_t c : publicId)
                if (!isPubidChar(c))
                    fail(wide(kInvalidPublicId) + quoted(c));
            bool space = skipDeclSpace();
            if (more() && (*cur_ == u'"' || *cur_ == u'\'')) {
                if (!space)
                    failWhitespace();
                literal(systemId);
            } else if (!optionalSystem) {
                fail(wide(kExpectedQuote));
            }
        }
        skipDeclSpace();
    }

    // Reads an external DTD piece: the external subset (entity null) or an
    // external parameter entity. One that cannot be had is recorded and
    // skipped: the document is still read in full.
    void readExternal(const std::u16string& systemId, const std::string& base,
                      const Entity* entity) {
        if (!settings.readExternalDtd) {
            externalMissing = true;
            return;
        }
        std::string resolved = resolveSource(utf16ToUtf8(systemId), base, errors);
        if (resolved.empty()) {
            externalMissing = true;
            return;
        }
        auto filter = std::make_unique<TXmlInCharFilter>(settings.bufferSize);
        bool ok = false;
        TXmlSourceKind kind = classifySource(resolved);
        auto now = std::chrono::steady_clock::now();
        if (externalFetches == 0)
            fetchDeadline = now + std::chrono::milliseconds(settings.externalFetchBudgetMs);
        long leftMs = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(fetchDeadline - now).count());
        if (++externalFetches > kMaxExternalFetches || leftMs <= 0) {
            // Past the budget: as a fetch that produced nothing.
        } else if (kind == TXmlSourceKind::Local) {
            ok = filter->openFile(resolved);
        } else {
            std::string temp = fetchToTempFile(resolved, kind, settings, errors, leftMs);
            ok = !temp.empty();
            if (ok) {
                tempFiles.push_back(temp);
                ok = filter->openFile(temp);
            }
        }
        if (!ok) {
            std::u16string name = utf8ToUtf16(resolved);
            errors.push_back(xmlmsg::fill<U16>(kFileNotFound, name));
            errors.push_back(
                xmlmsg::fill<U16>(kErrorLine, sources.front()->file, u"0", u"0",
                                  xmlmsg::fill<U16>(kFileNotFound, u"'" + name + u"'")));
            externalMissing = true;
            return;
        }
        auto src = std::make_unique<Source>();
        src->filter = std::move(filter);
        src->entity = entity;
        src->file = utf8ToUtf16(resolved);
        std::string name;
        splitLocation(resolved, src->location, name);
        pushSource(std::move(src));
        if (lookingAt(u"<?xml") && ensure(6) && isXmlSpace(cur_[5])) {
            cur_ += 5;
            xmlDeclaration(false);
        }
        top->filter->declarationPassed();
        declarations(DtdMode::External);
        popSource();
    }

    // Whitespace inside a declaration; parameter-entity references there are
    // expanded in place. True when any was skipped.
    bool skipDeclSpace() {
        bool any = false;
        for (;;) {
            any = skipSpace() || any;
            if (!more() || *cur_ != u'%')
                return any;
            if (!ensure(2) || !isXmlNameStartChar(cur_[1]))
                return any;
            ++cur_;
            parameterReference();
            any = true;
        }
    }

    // After "%": a parameter-entity reference between or inside declarations.
    void parameterReference() {
        std::u16string name;
        readName(name);
        if (more() && *cur_ == u';')
            ++cur_;
        auto it = parameter.find(name);
        if (it == parameter.end()) {
            // After a DTD piece could not be had, its entities are simply missing.
            if (externalMissing)
                return;
            fail(wide(kUndeclaredEntity) + name);
        }
        const Entity* e = it->second;
        checkEntity(e);
        if (e->kind == Entity::Internal) {
            countExpansion(e->padded.size());
            pushEntityText(e, e->padded);
        } else if (e->kind == Entity::External) {
            readExternal(e->systemId, e->base, e);
        }
    }

    void declarations(DtdMode mode) {
        int includes = 0; // open INCLUDE sections
        for (;;) {
            skipSpace();
            if (cur_ == end_ && !fill()) {
                if (mode == DtdMode::Internal)
                    fail(wide(kEndOfFile));
                return;
            }
            char16_t c = *cur_;
            if (c == u']') {
                if (includes > 0 && match(u"]]>")) {
                    --includes;
                    continue;
                }
                if (mode == DtdMode::Internal) {
                    ++cur_;
                    return;
                }
                ++cur_;
                continue;
            }
            if (c == u'%') {
                ++cur_;
                parameterReference();
                continue;
            }
            if (c != u'<') {
                ++cur_; // stray text between declarations is passed over
                continue;
            }
            ++cur_;
            if (!more())
                fail(wide(kEndOfFile));
            c = *cur_;
            if (c == u'?') {
                ++cur_;
                processingInstruction(false, true);
                continue;
            }
            if (c != u'!') {
                skipDeclaration();
                continue;
            }
            ++cur_;
            if (!more())
                fail(wide(kEndOfFile));
            c = *cur_;
            if (c == u'-') {
                ++cur_;
                matchLenient(u"-");
                comment();
                continue;
            }
            if (c == u'[') {
                ++cur_;
                if (conditionalSection())
                    ++includes;
                continue;
            }
            std::u16string keyword;
            const unsigned begun = top->serial;
            readName(keyword);
            bool report = reporting();
            if (report)
                startCapture(keyword);
            TXmlDeclKind kind;
            bool closed = true;
            if (keyword == u"ENTITY") {
                closed = entityDeclaration();
                kind = TXmlDeclKind::Entity;
            } else if (keyword == u"ATTLIST") {
                attributeListDeclaration();
                kind = TXmlDeclKind::AttList;
            } else if (keyword == u"ELEMENT") {
                skipDeclaration();
                kind = TXmlDeclKind::Element;
            } else if (keyword == u"NOTATION") {
                skipDeclaration();
                kind = TXmlDeclKind::Notation;
            } else {
                skipDeclaration();
                if (report)
                    endCapture();
                continue;
            }
            // One that a parameter entity opens or closes could only be
            // written back as a broken declaration.
            if (top->serial != begun)
                fail(wide(kDeclarationAcrossEntities));
            if (report) {
                std::u16string markup = endCapture();
                // A missing ">" is read as if it were there; so it is reported.
                if (!closed)
                    markup += u'>';
                sink.declaration(kind, std::move(markup));
            }
        }
    }

    // After "<![": true for an INCLUDE section (its declarations follow);
    // an IGNORE section is passed over here.
    bool conditionalSection() {
        skipDeclSpace();
        std::u16string keyword;
        readName(keyword);
        skipDeclSpace();
        matchLenient(u"[");
        if (keyword != u"IGNORE")
            return true;
        int nesting = 1;
        while (nesting > 0) {
            if (!more())
                fail(wide(kUnterminated) + u"']]>'");
            if (match(u"<![")) {
                ++nesting;
            } else if (match(u"]]>")) {
                --nesting;
            } else {
                ++cur_;
            }
        }
        return false;
    }

    // Up to the ">" that ends a declaration, outside quotes.
    void skipDeclaration() {
        char16_t quote = 0;
        for (;;) {
            if (!more())
                fail(wide(kEndOfFile));
            char16_t c = *cur_++;
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else if (c == u'>') {
                return;
            }
        }
    }

    // After "<!ENTITY". False when the closing ">" was missing.
    bool entityDeclaration() {
        if (!skipDeclSpace())
            failWhitespace();
        bool isParameter = false;
        if (more() && *cur_ == u'%') {
            ++cur_;
            isParameter = true;
            if (!skipDeclSpace())
                failWhitespace();
        }
        Entity e;
        e.parameter = isParameter;
        readName(e.name);
        if (!skipDeclSpace())
            failWhitespace();
        if (more() && (*cur_ == u'"' || *cur_ == u'\'')) {
            entityValue(e.value);
            skipDeclSpace();
        } else {
            std::u16string publicId;
            externalId(publicId, e.systemId, false);
            e.kind = Entity::External;
            e.base = currentLocation();
            if (more() && *cur_ == u'N') {
                std::u16string keyword;
                readName(keyword);
                if (keyword == u"NDATA") {
                    skipDeclSpace();
                    std::u16string notation;
                    readName(notation);
                    if (!isParameter)
                        e.kind = Entity::Unparsed;
                }
                skipDeclSpace();
            }
        }
        bool closed = more() && *cur_ == u'>';
        if (closed)
            ++cur_;
        auto& table = isParameter ? parameter : general;
        if (table.count(e.name))
            return closed; // the first declaration binds
        if (isParameter)
            e.padded = u" " + e.value + u" ";
        Entity& stored = entityStore.emplace_back(std::move(e));
        table.emplace(stored.name, &stored);
        return closed;
    }

    std::string currentLocation() const {
        for (auto it = sources.rbegin(); it != sources.rend(); ++it)
            if ((*it)->filter)
                return (*it)->location;
        return std::string();
    }

    // A quoted entity value: character references and parameter entities
    // are replaced now, general entity references are kept for later.
    void entityValue(std::u16string& out) {
        out.clear();
        char16_t q = *cur_++;
        for (;;) {
            if (cur_ == end_ && !fill())
                fail(wide(kExpectedDelimiter) + q);
            const char16_t* p = cur_;
            while (p < end_ && *p != q && *p != u'&' && *p != u'%')
                ++p;
            out.append(cur_, p);
            cur_ = p;
            if (p == end_)
                continue;
            char16_t c = *cur_++;
            if (c == q)
                return;
            if (!more())
                fail(wide(kExpectedDelimiter) + q);
            if (c == u'&' && *cur_ == u'#') {
                ++cur_;
                appendCodePoint(out, charReference());
                continue;
            }
            if (!isXmlNameStartChar(*cur_)) {
                out.push_back(c);
                continue;
            }
            std::u16string name;
            readName(name);
            bool semicolon = more() && *cur_ == u';';
            if (semicolon)
                ++cur_;
            if (c == u'&') {
                out += u"&" + name + (semicolon ? u";" : u"");
                continue;
            }
            auto it = parameter.find(name);
            if (it == parameter.end()) {
                if (externalMissing)
                    continue;
                fail(wide(kUndeclaredEntity) + name);
            }
            // The text of an external parameter entity never enters a value:
            // that would let a document pull a local file into its content.
            if (it->second->kind != Entity::Internal)
                continue;
            countExpansion(it->second->value.size());
            out += it->second->value;
        }
    }

    // After "<!ATTLIST".
    void attributeListDeclaration() {
        if (!skipDeclSpace())
            failWhitespace();
        std::u16string element;
        readName(element);
        AttList& list = attlists[element];
        for (;;) {
            skipDeclSpace();
            if (!more())
                fail(wide(kEndOfFile));
            if (*cur_ == u'>') {
                ++cur_;
                return;
            }
            AttrDecl d;
            readName(d.name);
            skipDeclSpace();
            if (!more())
                fail(wide(kEndOfFile));
            if (*cur_ == u'(') {
                skipGroup();
                d.tokenized = true;
            } else {
                std::u16string type;
                readName(type);
                d.tokenized = type != u"CDATA";
                if (type == u"NOTATION") {
                    skipDeclSpace();
                    if (more() && *cur_ == u'(')
                        skipGroup();
                }
            }
            skipDeclSpace();
            if (!more())
                fail(wide(kEndOfFile));
            if (*cur_ == u'#') {
                ++cur_;
                std::u16string keyword;
                readName(keyword);
                if (keyword == u"FIXED") {
                    skipDeclSpace();
                    attributeValue(d.defaultValue);
                    d.hasDefault = true;
                }
            } else {
                attributeValue(d.defaultValue);
                d.hasDefault = true;
            }
            if (d.tokenized)
                normalizeSpace(d.defaultValue);
            d.folded = foldCase(d.name);
            if (list.folded.insert(d.folded).second)
                list.decls.push_back(std::move(d));
        }
    }

    void skipGroup() {
        for (;;) {
            if (!more())
                fail(wide(kEndOfFile));
            if (*cur_++ == u')')
                return;
        }
    }
};

TXmlParser::TXmlParser(const TXmlReaderSettings& settings, TXmlReaderSink& sink,
                       TXmlErrorList& errors, std::vector<std::string>& tempFiles)
    : impl_(new Impl(settings, sink, errors, tempFiles)) {}

TXmlParser::~TXmlParser() {
    delete impl_;
}

bool TXmlParser::parseSource(const std::string& source) {
    Impl& p = *impl_;
    p.reset();
    TXmlSourceKind kind = classifySource(source);
    std::string path = kind == TXmlSourceKind::Local ? localPath(source) : source;
    std::string fileName = path;
    if (kind != TXmlSourceKind::Local) {
        path = fetchToTempFile(source, kind, p.settings, p.errors);
        if (path.empty()) {
            p.errors.push_back(xmlmsg::fill<U16>(kFileNotFound, utf8ToUtf16(source)));
            return false;
        }
        p.tempFiles.push_back(path);
    }
    auto filter = std::make_unique<TXmlInCharFilter>(p.settings.bufferSize);
    if (!filter->openFile(path)) {
        p.errors.push_back(xmlmsg::fill<U16>(kFileNotFound, utf8ToUtf16(source)));
        return false;
    }
    return p.run(std::move(filter), fileName);
}

bool TXmlParser::parseMemory(const char* bytes, std::size_t length) {
    Impl& p = *impl_;
    p.reset();
    auto filter = std::make_unique<TXmlInCharFilter>(p.settings.bufferSize);
    filter->openMemory(bytes, length);
    return p.run(std::move(filter), std::string());
}

bool TXmlParser::sourceOpened() const {
    return impl_->opened;
}

TXmlCharEncoding TXmlParser::encoding() const {
    return impl_->finalEncoding;
}
