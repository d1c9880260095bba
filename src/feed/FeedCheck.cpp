#include "feed/FeedCheck.h"

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string_view>

namespace {

using U16 = std::u16string;
using U16View = std::u16string_view;

// What a message quotes of a value: enough to recognise it, on one line.
constexpr std::size_t QuotedValueLimit = 60;
// A headline in a finding's place: the start is enough to find the topic.
constexpr std::size_t PlaceHeadlineLimit = 40;

constexpr U16View FeedDateExample = u"Mon, 07 Dec 2026 10:00:00 +0000";

constexpr std::array<U16View, 7> DayAbbreviations = {u"Mon", u"Tue", u"Wed", u"Thu",
                                                     u"Fri", u"Sat", u"Sun"};
constexpr std::array<U16View, 12> MonthAbbreviations = {
    u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
constexpr std::array<U16View, 7> DayNames = {u"Monday", u"Tuesday",  u"Wednesday", u"Thursday",
                                             u"Friday", u"Saturday", u"Sunday"};
// The zone names RFC 822 defines besides the numeric form and military letters.
constexpr std::array<U16View, 10> ZoneNames = {u"UT",  u"GMT", u"EST", u"EDT", u"CST",
                                               u"CDT", u"MST", u"MDT", u"PST", u"PDT"};

// ISO 639-1 language codes, with the withdrawn ones old feeds still carry
// (iw, in, ji, jw, mo, sh).
constexpr std::u16string_view LanguageCodes =
    u"aa ab ae af ak am an ar as av ay az ba be bg bh bi bm bn bo br bs ca ce ch co cr cs cu cv "
    u"cy da de dv dz ee el en eo es et eu fa ff fi fj fo fr fy ga gd gl gn gu gv ha he hi ho hr "
    u"ht hu hy hz ia id ie ig ii ik in io is it iu iw ja ji jv jw ka kg ki kj kk kl km kn ko kr "
    u"ks ku kv kw ky la lb lg li ln lo lt lu lv mg mh mi mk ml mn mo mr ms mt my na nb nd ne ng "
    u"nl nn no nr nv ny oc oj om or os pa pi pl ps pt qu rm rn ro ru rw sa sc sd se sg sh si sk "
    u"sl sm sn so sq sr ss st su sv sw ta te tg th ti tk tl tn to tr ts tt tw ty ug uk ur uz ve "
    u"vi vo wa wo xh yi yo za zh zu";

// Largest logo RSS 2.0 allows.
constexpr unsigned long long MaxImageWidth = 144;
constexpr unsigned long long MaxImageHeight = 400;

// ---------------------------------------------------------------------------
// Text helpers

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool isAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isAlnum(char16_t c) {
    return isAlpha(c) || isDigit(c);
}
char16_t folded(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

U16View trimmed(U16View v) {
    while (!v.empty() && isBlank(v.front()))
        v.remove_prefix(1);
    while (!v.empty() && isBlank(v.back()))
        v.remove_suffix(1);
    return v;
}

bool equalsFolded(U16View a, U16View b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (folded(a[i]) != folded(b[i]))
            return false;
    return true;
}

bool endsWithFolded(U16View v, U16View suffix) {
    return v.size() >= suffix.size() && equalsFolded(v.substr(v.size() - suffix.size()), suffix);
}

// The value on one line, runs of blanks as one space, cut at limit.
U16 oneLine(U16View v, std::size_t limit) {
    U16 out;
    bool space = false;
    for (char16_t c : trimmed(v)) {
        if (isBlank(c)) {
            space = true;
            continue;
        }
        if (space)
            out += u' ';
        space = false;
        out += c;
    }
    if (out.size() > limit) {
        std::size_t cut = limit;
        // Never split a surrogate pair.
        if (out[cut - 1] >= 0xD800 && out[cut - 1] <= 0xDBFF)
            --cut;
        out.resize(cut);
        while (!out.empty() && out.back() == u' ')
            out.pop_back();
        out += u"...";
    }
    return out;
}

U16 quoted(U16View v) {
    return u"\"" + oneLine(v, QuotedValueLimit) + u"\"";
}

U16 decimal(unsigned long long n) {
    U16 out;
    do {
        out.insert(out.begin(), static_cast<char16_t>(u'0' + n % 10));
        n /= 10;
    } while (n);
    return out;
}

// A whole number written with digits only (blanks around allowed); the value
// saturates, which is enough for every limit checked here.
std::optional<unsigned long long> wholeNumber(U16View v) {
    v = trimmed(v);
    if (v.empty())
        return std::nullopt;
    unsigned long long n = 0;
    for (char16_t c : v) {
        if (!isDigit(c))
            return std::nullopt;
        n = n > 1'000'000'000'000ULL ? n : n * 10 + (c - u'0');
    }
    return n;
}

// ---------------------------------------------------------------------------
// Value forms

// "scheme:" with a scheme of two or more characters (one letter is a drive).
std::size_t schemeLength(U16View v) {
    if (v.empty() || !isAlpha(v[0]))
        return 0;
    std::size_t i = 1;
    while (i < v.size() && (isAlnum(v[i]) || v[i] == u'+' || v[i] == u'-' || v[i] == u'.'))
        ++i;
    return i >= 2 && i < v.size() && v[i] == u':' ? i : 0;
}

enum class UrlForm { Absolute, NoHost, Bad };

UrlForm urlForm(U16View v) {
    v = trimmed(v);
    const std::size_t scheme = schemeLength(v);
    if (scheme == 0 || scheme + 1 == v.size())
        return UrlForm::Bad;
    for (char16_t c : v)
        if (c <= u' ' || c == 0x7F || c == u'"' || c == u'<' || c == u'>' || c == u'\\')
            return UrlForm::Bad;
    const U16View name = v.substr(0, scheme);
    if (!equalsFolded(name, u"http") && !equalsFolded(name, u"https") &&
        !equalsFolded(name, u"ftp"))
        return UrlForm::Absolute;
    U16View rest = v.substr(scheme + 1);
    if (rest.substr(0, 2) != u"//")
        return UrlForm::Bad;
    rest.remove_prefix(2);
    U16View authority = rest.substr(0, rest.find_first_of(u"/?#"));
    if (const std::size_t at = authority.rfind(u'@'); at != U16View::npos)
        authority.remove_prefix(at + 1);
    if (authority.empty())
        return UrlForm::NoHost;
    if (authority.front() != u'[') {
        if (const std::size_t colon = authority.find(u':'); colon != U16View::npos) {
            const U16View port = authority.substr(colon + 1);
            for (char16_t c : port)
                if (!isDigit(c))
                    return UrlForm::Bad;
            if (colon == 0)
                return UrlForm::NoHost;
        }
    }
    return UrlForm::Absolute;
}

bool isAddressLocalChar(char16_t c) {
    return isAlnum(c) || U16View(u"!#$%&'*+/=?^_`{|}~.-").find(c) != U16View::npos;
}

// local@domain, the domain with at least two labels.
bool isAddress(U16View v) {
    const std::size_t at = v.find(u'@');
    if (at == 0 || at == U16View::npos || at + 1 == v.size())
        return false;
    for (char16_t c : v.substr(0, at))
        if (!isAddressLocalChar(c))
            return false;
    const U16View domain = v.substr(at + 1);
    std::size_t labels = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = domain.find(u'.', start);
        const U16View label = domain.substr(start, dot == U16View::npos ? dot : dot - start);
        if (label.empty())
            return false;
        for (char16_t c : label)
            if (!isAlnum(c) && c != u'-')
                return false;
        ++labels;
        if (dot == U16View::npos)
            break;
        start = dot + 1;
    }
    return labels >= 2;
}

// "joe@example.com", "joe@example.com (Joe)", "Joe <joe@example.com>".
bool containsAddress(U16View v) {
    std::size_t i = 0;
    while (i < v.size()) {
        while (i < v.size() && (isBlank(v[i]) || U16View(u"()<>,;\"").find(v[i]) != U16View::npos))
            ++i;
        std::size_t end = i;
        while (end < v.size() && !isBlank(v[end]) &&
               U16View(u"()<>,;\"").find(v[end]) == U16View::npos)
            ++end;
        if (end > i && isAddress(v.substr(i, end - i)))
            return true;
        i = end;
    }
    return false;
}

bool isLanguageCode(U16View v) {
    v = trimmed(v);
    std::size_t subtags = 0;
    bool open = false; // "i-" and "x-" need a subtag after them
    std::size_t start = 0;
    for (;;) {
        const std::size_t dash = v.find(u'-', start);
        const U16View tag = v.substr(start, dash == U16View::npos ? dash : dash - start);
        if (tag.empty() || tag.size() > 8)
            return false;
        for (char16_t c : tag)
            if (subtags == 0 ? !isAlpha(c) : !isAlnum(c))
                return false;
        if (subtags == 0) {
            if (tag.size() == 1) {
                if (!equalsFolded(tag, u"i") && !equalsFolded(tag, u"x"))
                    return false;
                open = true;
            } else if (tag.size() == 2) {
                const U16 code = {folded(tag[0]), folded(tag[1])};
                bool known = false;
                for (std::size_t p = 0; p + 1 < LanguageCodes.size() && !known; p += 3)
                    known = LanguageCodes.substr(p, 2) == code;
                if (!known)
                    return false;
            } else if (tag.size() > 3) {
                return false;
            }
        } else {
            open = false;
        }
        ++subtags;
        if (dash == U16View::npos)
            return !open;
        start = dash + 1;
    }
}

bool isMimeToken(U16View v) {
    if (v.empty())
        return false;
    for (char16_t c : v)
        if (!isAlnum(c) && U16View(u"!#$&^_.+-").find(c) == U16View::npos)
            return false;
    return true;
}

// "type/subtype", parameters after ";" allowed.
bool isMimeType(U16View v) {
    v = trimmed(v.substr(0, v.find(u';')));
    const std::size_t slash = v.find(u'/');
    return slash != U16View::npos && isMimeToken(v.substr(0, slash)) &&
           isMimeToken(v.substr(slash + 1));
}

// "<b>", "</i>", "<br/>": tags a reader may show as text.
bool containsMarkup(U16View v) {
    const std::size_t lastClose = v.rfind(u'>');
    for (std::size_t i = 0; i + 1 < v.size() && lastClose != U16View::npos; ++i) {
        if (v[i] != u'<')
            continue;
        const std::size_t name = v[i + 1] == u'/' ? i + 2 : i + 1;
        if (name < lastClose && isAlpha(v[name]))
            return true;
    }
    return false;
}

// The first href or src value in an HTML fragment that has no scheme (and is
// not "//host/..."), or nothing.
std::optional<U16> firstRelativeAddress(U16View html) {
    std::size_t i = 0;
    const std::size_t n = html.size();
    while ((i = html.find(u'<', i)) != U16View::npos) {
        ++i;
        if (html.substr(i, 3) == u"!--") {
            const std::size_t end = html.find(u"-->", i + 3);
            if (end == U16View::npos)
                return std::nullopt;
            i = end + 3;
            continue;
        }
        if (i >= n || !isAlpha(html[i]))
            continue;
        while (i < n && !isBlank(html[i]) && html[i] != u'>' && html[i] != u'/')
            ++i;
        // Attributes up to the end of the tag.
        while (i < n && html[i] != u'>') {
            if (isBlank(html[i]) || html[i] == u'/') {
                ++i;
                continue;
            }
            const std::size_t nameStart = i;
            while (i < n && !isBlank(html[i]) && html[i] != u'=' && html[i] != u'>' &&
                   html[i] != u'/')
                ++i;
            const U16View name = html.substr(nameStart, i - nameStart);
            while (i < n && isBlank(html[i]))
                ++i;
            if (i >= n || html[i] != u'=') {
                if (name.empty())
                    ++i;
                continue;
            }
            ++i;
            while (i < n && isBlank(html[i]))
                ++i;
            U16View value;
            if (i < n && (html[i] == u'"' || html[i] == u'\'')) {
                const char16_t quote = html[i++];
                const std::size_t end = html.find(quote, i);
                const std::size_t stop = end == U16View::npos ? n : end;
                value = html.substr(i, stop - i);
                i = stop == n ? n : stop + 1;
            } else {
                const std::size_t start = i;
                while (i < n && !isBlank(html[i]) && html[i] != u'>')
                    ++i;
                value = html.substr(start, i - start);
            }
            if (!equalsFolded(name, u"href") && !equalsFolded(name, u"src"))
                continue;
            value = trimmed(value);
            if (!value.empty() && schemeLength(value) == 0 && value.substr(0, 2) != u"//")
                return U16(value);
        }
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// Dates

enum class DateForm { Good, TwoDigitYear, WrongDayName, Bad };

int daysInMonth(int month, int year) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// 0 for Monday.
int weekday(int day, int month, int year) {
    static constexpr int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3)
        --year;
    const int sunday0 = (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7;
    return (sunday0 + 6) % 7;
}

template <std::size_t N> int indexFolded(const std::array<U16View, N>& names, U16View v) {
    for (std::size_t i = 0; i < N; ++i)
        if (equalsFolded(names[i], v))
            return static_cast<int>(i);
    return -1;
}

// RFC 822 date-time: [day name ","] day month year hh:mm[:ss] zone, English
// names in any letter case, blanks between the parts.
DateForm dateForm(U16View v) {
    std::size_t i = 0;
    const std::size_t n = v.size();
    auto blanks = [&] {
        const std::size_t from = i;
        while (i < n && isBlank(v[i]))
            ++i;
        return i > from;
    };
    auto letters = [&] {
        const std::size_t from = i;
        while (i < n && isAlpha(v[i]))
            ++i;
        return v.substr(from, i - from);
    };
    auto digits = [&](std::size_t min, std::size_t max) -> int {
        const std::size_t from = i;
        int value = 0;
        while (i < n && isDigit(v[i]) && i - from < max)
            value = value * 10 + (v[i++] - u'0');
        if (i - from < min || (i < n && isDigit(v[i])))
            return -1;
        return value;
    };
    auto twoDigits = [&] { return digits(2, 2); };

    blanks();
    int dayName = -1;
    if (i < n && isAlpha(v[i])) {
        dayName = indexFolded(DayAbbreviations, letters());
        if (dayName < 0)
            return DateForm::Bad;
        blanks();
        if (i >= n || v[i] != u',')
            return DateForm::Bad;
        ++i;
        blanks();
    }
    const int day = digits(1, 2);
    if (day < 0 || !blanks())
        return DateForm::Bad;
    const int month = indexFolded(MonthAbbreviations, letters()) + 1;
    if (month == 0 || !blanks())
        return DateForm::Bad;
    const std::size_t yearStart = i;
    int year = digits(2, 4);
    const std::size_t yearDigits = i - yearStart;
    if (year < 0 || yearDigits == 3 || !blanks())
        return DateForm::Bad;
    const int hour = twoDigits();
    if (hour < 0 || i >= n || v[i++] != u':')
        return DateForm::Bad;
    const int minute = twoDigits();
    if (minute < 0)
        return DateForm::Bad;
    int second = 0;
    if (i < n && v[i] == u':') {
        ++i;
        second = twoDigits();
        if (second < 0)
            return DateForm::Bad;
    }
    if (!blanks())
        return DateForm::Bad;
    if (i < n && (v[i] == u'+' || v[i] == u'-')) {
        ++i;
        const int offset = digits(4, 4);
        if (offset < 0 || offset % 100 > 59)
            return DateForm::Bad;
    } else {
        const U16View zone = letters();
        const bool military = zone.size() == 1 && !equalsFolded(zone, u"j");
        if (!military && indexFolded(ZoneNames, zone) < 0)
            return DateForm::Bad;
    }
    blanks();
    if (i != n)
        return DateForm::Bad;
    if (yearDigits == 2)
        year += year < 50 ? 2000 : 1900;
    if (day < 1 || day > daysInMonth(month, year) || hour > 23 || minute > 59 || second > 60)
        return DateForm::Bad;
    if (yearDigits == 2)
        return DateForm::TwoDigitYear;
    if (dayName >= 0 && dayName != weekday(day, month, year))
        return DateForm::WrongDayName;
    return DateForm::Good;
}

// ---------------------------------------------------------------------------
// Tree helpers

const TXmlElement* asElementRaw(const TXmlNode* node) {
    return node && node->nodeType() == ELEMENT_NODE ? static_cast<const TXmlElement*>(node)
                                                    : nullptr;
}

// An attribute by exact name, or null.
const U16* attribute(const TXmlElement& e, U16View name) {
    if (const TXmlNamedNodeMap* attrs = e.attributes())
        for (const TXmlAttributePtr& a : attrs->items())
            if (a->nodeName() == name)
                return &a->nodeValue();
    return nullptr;
}

// The default namespace in force at an element.
U16 defaultNamespaceAt(const TXmlElement& e) {
    for (const TXmlElement* el = &e; el; el = asElementRaw(el->parentNode().get()))
        if (const U16* ns = attribute(*el, u"xmlns"))
            return *ns;
    return {};
}

// The prefix of a name such as "atom:link" is declared on the element or above.
bool prefixDeclared(const TXmlElement& e, U16View prefix) {
    if (prefix == u"xml")
        return true;
    const U16 declaration = u"xmlns:" + U16(prefix);
    for (const TXmlElement* el = &e; el; el = asElementRaw(el->parentNode().get()))
        if (attribute(*el, declaration))
            return true;
    return false;
}

bool hasXmlBase(const TXmlElement& e) {
    for (const TXmlElement* el = &e; el; el = asElementRaw(el->parentNode().get()))
        if (attribute(*el, u"xml:base"))
            return true;
    return false;
}

// No text and no attribute value anywhere inside, the element included.
bool isAllBlank(const TXmlElement& root) {
    const TXmlNode* node = &root;
    while (node) {
        if (const TXmlElement* e = asElementRaw(node)) {
            if (const TXmlNamedNodeMap* attrs = e->attributes())
                for (const TXmlAttributePtr& a : attrs->items())
                    if (!trimmed(a->nodeValue()).empty())
                        return false;
        } else if (node->nodeType() == TEXT_NODE || node->nodeType() == CDATA_SECTION_NODE) {
            if (!trimmed(node->nodeValue()).empty())
                return false;
        }
        if (node->firstChild().get()) {
            node = node->firstChild().get();
            continue;
        }
        while (node != &root && !node->nextSibling().get())
            node = node->parentNode().get();
        node = node == &root ? nullptr : node->nextSibling().get();
    }
    return true;
}

U16 textOfElement(const TXmlElement* e) {
    return e ? U16(trimmed(e->text())) : U16();
}

// ---------------------------------------------------------------------------
// The check

// The RSS children of one element, after unknown and repeated ones are reported.
struct Children {
    std::vector<const TXmlElement*> all;
    std::map<U16, const TXmlElement*, std::less<>> firsts;
    const TXmlElement* first(U16View name) const {
        const auto it = firsts.find(name);
        return it == firsts.end() ? nullptr : it->second;
    }
};

class Checker {
public:
    explicit Checker(const TXmlDocument& doc) : doc_(doc) {}

    std::vector<FeedFinding> run() {
        const TXmlElementPtr root = doc_.documentElement();
        scope_ = FeedScope::Document;
        if (!root) {
            error({}, {}, u"the document holds no elements: it is not an RSS 2.0 feed");
            return std::move(out_);
        }
        if (root->nodeName() != u"rss") {
            error({}, {},
                  u"the document element is " + quoted(root->nodeName()) +
                      u", not \"rss\": this is not an RSS 2.0 feed");
            return std::move(out_);
        }
        rssNamespace_ = defaultNamespaceAt(*root);
        checkRss(*root);
        return std::move(out_);
    }

private:
    const TXmlDocument& doc_;
    U16 rssNamespace_;
    std::vector<FeedFinding> out_;
    FeedScope scope_ = FeedScope::Document;
    long item_ = -1;
    U16 headline_;
    // Who holds the children being looked at, for messages ("the channel").
    U16 holder_;

    void add(FeedSeverity severity, U16 element, U16 attribute, U16 message) {
        FeedFinding f;
        f.severity = severity;
        f.scope = scope_;
        f.item = scope_ == FeedScope::Item ? item_ : -1;
        f.headline = scope_ == FeedScope::Item ? headline_ : U16();
        f.element = std::move(element);
        f.attribute = std::move(attribute);
        f.message = std::move(message);
        out_.push_back(std::move(f));
    }
    void error(U16 element, U16 attribute, U16 message) {
        add(FeedSeverity::Error, std::move(element), std::move(attribute), std::move(message));
    }
    void warning(U16 element, U16 attribute, U16 message) {
        add(FeedSeverity::Warning, std::move(element), std::move(attribute), std::move(message));
    }

    bool isRssElement(const TXmlElement& e) const {
        return e.nodeName().find(u':') == U16::npos && defaultNamespaceAt(e) == rssNamespace_;
    }

    // Reports children outside the vocabulary and repeats of those that may
    // appear once; path is the prefix of their element names in findings.
    Children survey(const TXmlElement& parent, std::initializer_list<U16View> known,
                    std::initializer_list<U16View> repeatable, const U16& path) {
        Children children;
        std::set<U16> reported;
        for (const TXmlNode* node = parent.firstChild().get(); node; node = node->nextSibling().get()) {
            const TXmlElement* e = asElementRaw(node);
            if (!e)
                continue;
            if (!isRssElement(*e)) {
                checkPrefix(*e, path);
                continue;
            }
            const U16& name = e->nodeName();
            bool isKnown = false;
            for (U16View k : known)
                isKnown = isKnown || k == name;
            if (!isKnown) {
                error(path + name, {},
                      quoted(name) + u" is not an RSS 2.0 element of " + holder_ +
                          u": remove it, or put it in a namespace of its own");
                continue;
            }
            bool mayRepeat = false;
            for (U16View r : repeatable)
                mayRepeat = mayRepeat || r == name;
            const bool again = !children.firsts.emplace(name, e).second;
            if (again && !mayRepeat && reported.insert(name).second)
                error(path + name, {},
                      holder_ + u" has more than one " + quoted(name) + u": keep one");
            children.all.push_back(e);
        }
        return children;
    }

    // Readers that know namespaces reject the whole feed over an undeclared prefix.
    void checkPrefix(const TXmlElement& e, const U16& path) {
        const U16& name = e.nodeName();
        const std::size_t colon = name.find(u':');
        if (colon == U16::npos || colon == 0)
            return;
        const U16View prefix = U16View(name).substr(0, colon);
        if (!prefixDeclared(e, prefix))
            error(path + name, {},
                  u"the prefix " + quoted(prefix) + u" of " + quoted(name) +
                      u" is not declared: add xmlns:" + U16(prefix) +
                      u"=\"...\" with its namespace to the rss element");
    }

    void checkRss(const TXmlElement& rss) {
        holder_ = u"rss";
        if (const U16* version = attribute(rss, u"version")) {
            if (trimmed(*version) != u"2.0")
                warning(u"rss", u"version",
                        u"the version is " + quoted(*version) +
                            u", not \"2.0\": the feed is checked as RSS 2.0");
        } else {
            error(u"rss", u"version", u"rss has no version: add version=\"2.0\"");
        }
        const Children children = survey(rss, {u"channel"}, {}, u"rss ");
        const TXmlElement* channel = children.first(u"channel");
        if (!channel) {
            error(u"rss", {}, u"rss has no channel: put the feed's elements in a \"channel\"");
            return;
        }
        checkChannel(*channel);
        checkItems(*channel);
    }

    void checkChannel(const TXmlElement& channel) {
        scope_ = FeedScope::Channel;
        holder_ = u"the channel";
        const Children c =
            survey(channel,
                   {u"title",          u"link",      u"description", u"language",      u"copyright",
                    u"managingEditor", u"webMaster", u"pubDate",     u"lastBuildDate", u"category",
                    u"generator",      u"docs",      u"cloud",       u"ttl",           u"image",
                    u"rating",         u"textInput", u"skipHours",   u"skipDays",      u"item",
                    u"textinput"},
                   {u"category", u"item"}, {});
        if (const TXmlElement* title = c.first(u"title")) {
            const U16 text = textOfElement(title);
            if (text.empty())
                warning(u"title", {}, u"the title is empty: give the channel a name");
            checkMarkup(u"title", *title);
        } else {
            error(u"title", {}, u"the channel has no title: add one");
        }
        if (const TXmlElement* link = c.first(u"link"))
            checkUrl(u"link", {}, u"link", textOfElement(link));
        else
            error(u"link", {}, u"the channel has no link: add the address of its web site");
        if (const TXmlElement* description = c.first(u"description")) {
            if (textOfElement(description).empty())
                warning(u"description", {},
                        u"the description is empty: say in a sentence what the channel is about");
            checkRelativeAddresses(*description);
        } else {
            error(u"description", {},
                  u"the channel has no description: add a sentence about what it offers");
        }
        for (const TXmlElement* e : c.all) {
            const U16& name = e->nodeName();
            if (name == u"language")
                checkLanguage(*e);
            else if (name == u"managingEditor" || name == u"webMaster")
                checkPerson(name, textOfElement(e));
            else if (name == u"pubDate" || name == u"lastBuildDate")
                checkDate(name, textOfElement(e));
            else if (name == u"docs")
                checkUrl(u"docs", {}, u"docs", textOfElement(e));
            else if (name == u"ttl")
                checkTtl(*e);
            else if (name == u"cloud")
                checkCloud(*e);
            else if (name == u"image")
                checkImage(*e);
            else if (name == u"textInput")
                checkTextInput(*e);
            else if (name == u"textinput") {
                // The spelling of RSS 0.91, which readers still take.
                warning(u"textinput", {},
                        u"\"textinput\" is the old spelling: write \"textInput\"");
                checkTextInput(*e);
            } else if (name == u"skipHours")
                checkSkipHours(*e);
            else if (name == u"skipDays")
                checkSkipDays(*e);
        }
        holder_ = u"the channel";
    }

    void checkRelativeAddresses(const TXmlElement& description) {
        if (const auto address = firstRelativeAddress(description.text());
            address && !hasXmlBase(description))
            warning(u"description", {},
                    u"the description links to the relative address " + quoted(*address) +
                        u", which readers cannot follow: write the full address");
    }

    // Escaped tags in the text, or elements inside the title itself.
    void checkMarkup(const U16& element, const TXmlElement& title) {
        bool elements = false;
        for (const TXmlNode* node = title.firstChild().get(); node && !elements; node = node->nextSibling().get())
            elements = node->nodeType() == ELEMENT_NODE;
        const U16 text = textOfElement(&title);
        if (elements || containsMarkup(text))
            warning(element, {},
                    u"the title " + quoted(text) +
                        u" contains markup, which many readers show as it is: write plain text");
    }

    // Errors for what is not an absolute URL; a warning for an http address
    // without a host, such as the "http://" a new feed starts with.
    void checkUrl(const U16& element, const U16& attr, const U16& label, const U16& value) {
        switch (urlForm(value)) {
        case UrlForm::Absolute:
            return;
        case UrlForm::NoHost:
            warning(element, attr,
                    label + u" " + quoted(value) +
                        u" names no site: write the full address, like \"http://example.com/\"");
            return;
        case UrlForm::Bad:
            error(element, attr,
                  label + u" " + quoted(value) +
                      u" is not an absolute URL: write the full address, like "
                      u"\"http://example.com/page.html\"");
            return;
        }
    }

    void checkDate(const U16& element, const U16& value) {
        switch (dateForm(value)) {
        case DateForm::Good:
            return;
        case DateForm::TwoDigitYear:
            warning(element, {},
                    element + u" " + quoted(value) +
                        u" has a two-digit year: write the year with four digits");
            return;
        case DateForm::WrongDayName:
            warning(element, {},
                    element + u" " + quoted(value) +
                        u" names the wrong day of the week: correct the day name or leave it out");
            return;
        case DateForm::Bad:
            error(element, {},
                  element + u" " + quoted(value) + u" is not a feed date: write it like \"" +
                      U16(FeedDateExample) + u"\"");
            return;
        }
    }

    void checkPerson(const U16& element, const U16& value) {
        if (!containsAddress(value))
            error(element, {},
                  element + u" " + quoted(value) +
                      u" has no e-mail address: write it like \"joe@example.com (Joe Bloggs)\"");
    }

    void checkLanguage(const TXmlElement& e) {
        const U16 value = textOfElement(&e);
        if (!isLanguageCode(value))
            error(u"language", {},
                  u"language " + quoted(value) +
                      u" is not a language code: write it like \"en\", \"en-us\" or \"fr-FR\"");
    }

    void checkTtl(const TXmlElement& e) {
        const U16 value = textOfElement(&e);
        if (!wholeNumber(value))
            error(u"ttl", {},
                  u"ttl " + quoted(value) +
                      u" is not a whole number of minutes: write it like \"60\"");
    }

    // A required attribute: missing or empty is reported; true when it has a value.
    bool required(const TXmlElement& e, const U16& element, const U16& attr, const U16& what,
                  U16& value) {
        const U16* v = attribute(e, attr);
        value = v ? U16(trimmed(*v)) : U16();
        if (value.empty())
            error(element, attr, holder_ + u" has no " + attr + u": add " + what);
        return !value.empty();
    }

    void checkCloud(const TXmlElement& cloud) {
        if (isAllBlank(cloud))
            return;
        holder_ = u"the cloud";
        U16 value;
        required(cloud, u"cloud", u"domain", u"the host name of the cloud's server", value);
        if (required(cloud, u"cloud", u"port", u"the server's port number", value)) {
            const auto port = wholeNumber(value);
            if (!port || *port < 1 || *port > 65535)
                error(u"cloud", u"port",
                      u"the cloud's port " + quoted(value) +
                          u" is not a port number: write it like \"80\"");
        }
        required(cloud, u"cloud", u"path", u"the path of the server's procedure", value);
        required(cloud, u"cloud", u"registerProcedure", u"the name of the procedure to call",
                 value);
        if (required(cloud, u"cloud", u"protocol", u"\"xml-rpc\", \"soap\" or \"http-post\"",
                     value) &&
            !equalsFolded(value, u"xml-rpc") && !equalsFolded(value, u"soap") &&
            !equalsFolded(value, u"http-post"))
            error(u"cloud", u"protocol",
                  u"the cloud's protocol " + quoted(value) +
                      u" is unknown: write \"xml-rpc\", \"soap\" or \"http-post\"");
        holder_ = u"the channel";
    }

    // The text of a required child: missing or empty is reported.
    std::optional<U16> requiredChild(const Children& c, const U16& path, const U16& name,
                                     const U16& what) {
        const U16 value = textOfElement(c.first(name));
        if (value.empty()) {
            error(path + name, {}, holder_ + u" has no " + name + u": add " + what);
            return std::nullopt;
        }
        return value;
    }

    void checkImage(const TXmlElement& image) {
        holder_ = u"the image";
        const Children c = survey(
            image, {u"title", u"url", u"link", u"width", u"height", u"description"}, {}, u"image ");
        if (isAllBlank(image))
            return;
        if (const auto url = requiredChild(c, u"image ", u"url", u"the address of the picture")) {
            checkUrl(u"image url", {}, u"the image url", *url);
            const U16View path = U16View(*url).substr(0, url->find_first_of(u"?#"));
            bool picture = false;
            for (U16View ext : {u".gif", u".jpg", u".jpeg", u".jpe", u".png"})
                picture = picture || endsWithFolded(path, ext);
            if (!picture)
                warning(u"image url", {},
                        u"the image url " + quoted(*url) +
                            u" is not a GIF, JPEG or PNG file: use a .gif, .jpg or .png picture");
        }
        requiredChild(c, u"image ", u"title", u"a few words that describe the picture");
        if (const auto link = requiredChild(c, u"image ", u"link", u"the address of the site"))
            checkUrl(u"image link", {}, u"the image link", *link);
        checkSize(c, u"width", MaxImageWidth);
        checkSize(c, u"height", MaxImageHeight);
    }

    void checkSize(const Children& c, const U16& name, unsigned long long max) {
        const TXmlElement* e = c.first(name);
        if (!e)
            return;
        const U16 value = textOfElement(e);
        const auto n = wholeNumber(value);
        if (!n)
            error(u"image " + name, {},
                  u"the image " + name + u" " + quoted(value) +
                      u" is not a whole number of pixels: write it like \"" + decimal(max) + u"\"");
        else if (*n > max)
            error(u"image " + name, {},
                  u"the image " + name + u" " + quoted(value) + u" is more than " + decimal(max) +
                      u" pixels: make the picture at most " + decimal(max) + u" pixels " +
                      (name == u"width" ? u"wide" : u"high"));
    }

    void checkTextInput(const TXmlElement& textInput) {
        holder_ = u"the text input";
        const Children c =
            survey(textInput, {u"title", u"description", u"name", u"link"}, {}, u"textInput ");
        if (isAllBlank(textInput))
            return;
        requiredChild(c, u"textInput ", u"title", u"the caption of its Submit button");
        requiredChild(c, u"textInput ", u"description", u"a sentence that explains the box");
        requiredChild(c, u"textInput ", u"name", u"the name of the text field");
        if (const auto link =
                requiredChild(c, u"textInput ", u"link", u"the address that takes the text"))
            checkUrl(u"textInput link", {}, u"the text input link", *link);
    }

    void checkSkipHours(const TXmlElement& skipHours) {
        holder_ = u"skipHours";
        const Children c = survey(skipHours, {u"hour"}, {u"hour"}, u"skipHours ");
        std::set<unsigned long long> seen;
        for (const TXmlElement* e : c.all) {
            const U16 value = textOfElement(e);
            const auto hour = wholeNumber(value);
            if (!hour || *hour > 23)
                error(u"skipHours hour", {},
                      u"hour " + quoted(value) +
                          u" is not an hour of the day: write a whole number from 0 to 23");
            else if (!seen.insert(*hour).second)
                error(u"skipHours hour", {},
                      u"hour " + decimal(*hour) + u" is listed more than once: keep one");
        }
    }

    void checkSkipDays(const TXmlElement& skipDays) {
        holder_ = u"skipDays";
        const Children c = survey(skipDays, {u"day"}, {u"day"}, u"skipDays ");
        std::set<U16> seen;
        for (const TXmlElement* e : c.all) {
            const U16 value = textOfElement(e);
            int day = -1;
            for (std::size_t i = 0; i < DayNames.size(); ++i)
                if (DayNames[i] == value)
                    day = static_cast<int>(i);
            if (day < 0) {
                const int near = indexFolded(DayNames, value);
                error(u"skipDays day", {},
                      u"day " + quoted(value) + u" is not an English day name: write it like \"" +
                          U16(DayNames[near < 0 ? 0 : near]) + u"\"");
            } else if (!seen.insert(value).second) {
                error(u"skipDays day", {},
                      u"day " + value + u" is listed more than once: keep one");
            }
        }
    }

    void checkItems(const TXmlElement& channel) {
        const TXmlNodeList items = doc_.getElementsByTagName(u"item");
        std::map<U16, long> guids;
        for (long n = 0; n < items.length(); ++n) {
            const TXmlElement* item = asElementRaw(items.item(n).get());
            if (!item)
                continue;
            scope_ = FeedScope::Item;
            item_ = n;
            headline_ = headlineOfItem(*item);
            // Only the channel's own items are read (and its namespace is
            // known there); any depth of stray nesting stays cheap.
            if (item->parentNode().get() != &channel)
                warning({}, {},
                        u"the item is outside the channel, where readers do not look: move it "
                        u"into the channel");
            else if (isRssElement(*item))
                checkItem(*item, guids);
        }
        scope_ = FeedScope::Channel;
    }

    // From the element's own text pieces only: items may nest in one another
    // to any depth, and each one's headline must not read all those below it.
    static U16 headlineOfItem(const TXmlElement& item) {
        const TXmlElement* source = asElementRaw(item.firstChild().get());
        for (const TXmlNode* node = item.firstChild().get(); node; node = node->nextSibling().get())
            if (const TXmlElement* e = asElementRaw(node); e && e->nodeName() == u"title") {
                source = e;
                break;
            }
        U16 text;
        for (const TXmlNode* node = source ? source->firstChild().get() : nullptr; node;
             node = node->nextSibling().get()) {
            if (node->nodeType() != TEXT_NODE && node->nodeType() != CDATA_SECTION_NODE)
                continue;
            if (!text.empty())
                text += u' ';
            text += trimmed(node->nodeValue());
            if (text.size() > PlaceHeadlineLimit)
                break;
        }
        return text;
    }

    void checkItem(const TXmlElement& item, std::map<U16, long>& guids) {
        holder_ = u"the item";
        if (isAllBlank(item)) {
            warning({}, {}, u"the item is empty: fill it in or remove it");
            return;
        }
        const Children c = survey(item,
                                  {u"title", u"link", u"description", u"author", u"category",
                                   u"comments", u"enclosure", u"guid", u"pubDate", u"source"},
                                  {u"category", u"enclosure"}, {});
        if (!c.first(u"title") && !c.first(u"description"))
            error({}, {}, u"the item has neither title nor description: add at least one");
        if (!c.first(u"guid"))
            warning({}, {},
                    u"the item has no guid: add one, so that readers can tell it from the others");
        for (const TXmlElement* e : c.all) {
            const U16& name = e->nodeName();
            if (name == u"title") {
                checkMarkup(u"title", *e);
            } else if (name == u"link") {
                const U16 value = textOfElement(e);
                if (!value.empty())
                    checkUrl(u"link", {}, u"link", value);
            } else if (name == u"description") {
                checkRelativeAddresses(*e);
            } else if (name == u"author") {
                checkPerson(name, textOfElement(e));
            } else if (name == u"comments") {
                checkUrl(u"comments", {}, u"comments", textOfElement(e));
            } else if (name == u"enclosure") {
                checkEnclosure(*e);
            } else if (name == u"guid") {
                checkGuid(*e, guids);
            } else if (name == u"pubDate") {
                checkDate(name, textOfElement(e));
            } else if (name == u"source") {
                const U16* url = attribute(*e, u"url");
                if (!url || trimmed(*url).empty())
                    warning(u"source", u"url",
                            u"the source has no url: add the address of the feed the item comes "
                            u"from");
                else
                    checkUrl(u"source", u"url", u"the source url", *url);
            }
        }
    }

    void checkEnclosure(const TXmlElement& e) {
        holder_ = u"the enclosure";
        U16 value;
        if (required(e, u"enclosure", u"url", u"the address of the file", value))
            checkUrl(u"enclosure", u"url", u"the enclosure url", value);
        if (required(e, u"enclosure", u"length", u"the file's size in bytes (0 when unknown)",
                     value) &&
            !wholeNumber(value))
            error(u"enclosure", u"length",
                  u"the enclosure length " + quoted(value) +
                      u" is not a number of bytes: write the file's size in bytes, 0 when "
                      u"unknown");
        if (required(e, u"enclosure", u"type", u"the file's MIME type, like \"audio/mpeg\"",
                     value) &&
            !isMimeType(value))
            error(u"enclosure", u"type",
                  u"the enclosure type " + quoted(value) +
                      u" is not a MIME type: write it like \"audio/mpeg\"");
        holder_ = u"the item";
    }

    void checkGuid(const TXmlElement& e, std::map<U16, long>& guids) {
        const U16 value = textOfElement(&e);
        bool permalink = true;
        if (const U16* isPermaLink = attribute(e, u"isPermaLink")) {
            const U16View v = trimmed(*isPermaLink);
            // An empty value is what the topic editor writes for a guid whose
            // kind was never set; readers take it as absent, so a permalink.
            if (v == u"false")
                permalink = false;
            else if (!v.empty() && v != u"true") {
                error(u"guid", u"isPermaLink",
                      u"isPermaLink " + quoted(*isPermaLink) +
                          u" is neither \"true\" nor \"false\": write one of the two");
                permalink = false;
            }
        }
        if (value.empty()) {
            error(u"guid", {}, u"the guid is empty: give the item a guid, or remove the element");
            return;
        }
        if (permalink && urlForm(value) != UrlForm::Absolute)
            error(u"guid", {},
                  u"the guid " + quoted(value) +
                      u" is taken as a permalink but is not an absolute URL: write the item's "
                      u"full address, or add isPermaLink=\"false\"");
        const auto [at, fresh] = guids.emplace(value, item_);
        if (!fresh)
            error(u"guid", {},
                  u"the guid " + quoted(value) + u" is also the guid of item " +
                      decimal(static_cast<unsigned long long>(at->second) + 1) +
                      u": give every item its own guid");
    }
};

} // namespace

std::vector<FeedFinding> checkFeed(const TXmlDocument& doc) {
    return Checker(doc).run();
}

bool hasFeedErrors(const std::vector<FeedFinding>& findings) {
    for (const FeedFinding& f : findings)
        if (f.severity == FeedSeverity::Error)
            return true;
    return false;
}

std::u16string findingPlace(const FeedFinding& finding) {
    U16 place;
    switch (finding.scope) {
    case FeedScope::Document:
        place = finding.element.empty() ? U16(u"document") : oneLine(finding.element, 200);
        break;
    case FeedScope::Channel:
        place = u"channel";
        break;
    case FeedScope::Item:
        place = u"item " + decimal(static_cast<unsigned long long>(finding.item) + 1);
        if (const U16 headline = oneLine(finding.headline, PlaceHeadlineLimit); !headline.empty())
            place += u" \"" + headline + u"\"";
        break;
    }
    if (finding.scope != FeedScope::Document && !finding.element.empty())
        place += u" " + oneLine(finding.element, 200);
    if (!finding.attribute.empty())
        place += u" " + finding.attribute;
    return place;
}

const char* severityName(FeedSeverity severity) {
    return severity == FeedSeverity::Error ? "error" : "warning";
}
