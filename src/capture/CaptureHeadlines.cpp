#include "capture/CaptureHeadlines.h"

#include <QHash>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// How far after a link basic mode looks for the link's text.
constexpr qsizetype headlineWindow = 500;

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}

bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

// The code-unit index `n` characters after `from`, at most the end of `text`.
qsizetype advanceChars(QStringView text, qsizetype from, qsizetype n) {
    qsizetype i = from;
    while (n-- > 0 && i < text.size()) {
        if (isHighSurrogate(text[i].unicode()) && i + 1 < text.size() &&
            isLowSurrogate(text[i + 1].unicode()))
            ++i;
        ++i;
    }
    return i;
}

qsizetype charCount(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); i = advanceChars(text, i, 1))
        ++count;
    return count;
}

// One element per character; a lone surrogate stays a character of its own.
std::u32string toChars(QStringView text) {
    std::u32string out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1].unicode())) {
            out += static_cast<char32_t>(0x10000 + ((c - 0xD800) << 10) +
                                         (text[i + 1].unicode() - 0xDC00));
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

QString fromChars(std::u32string_view chars) {
    QString out;
    out.reserve(static_cast<qsizetype>(chars.size()));
    for (const char32_t c : chars) {
        if (c >= 0x10000) {
            out += QChar(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out += QChar(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out += QChar(static_cast<char16_t>(c));
        }
    }
    return out;
}

// Class names and tags are matched in ASCII only, as the page's letters
// beyond ASCII never stand for markup.
QString lowerAscii(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.unicode() >= u'A' && c.unicode() <= u'Z')
            c = QChar(static_cast<char16_t>(c.unicode() + (u'a' - u'A')));
    return out;
}

// The link as stored: one without a lower-case "http" is taken as relative to
// the page's directory.
QString resolved(const QString& link, const QString& address) {
    if (link.contains(u"http"))
        return link;
    return GetBaseURL(address) + u'/' + link;
}

// The first occurrence of a needle at or after a position that only ever
// grows, remembered so that each needle scans the page once in all.
class ForwardFinder {
public:
    ForwardFinder(const QString& text, QString needle) : text_(text), needle_(std::move(needle)) {}

    qsizetype next(qsizetype from) {
        if (found_ == notSearched || (found_ >= 0 && found_ < from))
            found_ = text_.indexOf(needle_, from);
        return found_;
    }

private:
    static constexpr qsizetype notSearched = -2;
    const QString& text_;
    QString needle_;
    qsizetype found_ = notSearched;
};

// Removes the first line break of one form from an anchor: "<br>", else
// "<br />", else "<br/>".
void dropLineBreak(QString& anchor) {
    const QString lower = lowerAscii(anchor);
    if (!lower.contains(u"<br"))
        return;
    for (const QStringView form : {u"<br>", u"<br />", u"<br/>"}) {
        if (const qsizetype at = lower.indexOf(form); at >= 0) {
            anchor.remove(at, form.size());
            return;
        }
    }
}

// The href value of an anchor, up to its closing quote; empty when the anchor
// has no href="..." with something in it, which then links to the page
// itself.
QString hrefOf(const QString& anchor) {
    const qsizetype h = anchor.indexOf(u"href=\"");
    if (h < 0 || h + 6 >= anchor.size() || anchor[h + 6] == u'"')
        return {};
    // An unclosed value is no value.
    const qsizetype close = anchor.indexOf(u'"', h + 7);
    const qsizetype length = close < 0 ? 0 : close - (h + 6);
    return TrimDoubleSpace(anchor.mid(h + 6, length));
}

// The text between the end of the anchor's opening tag and the next "<" after
// the character that follows it: so an anchor whose text begins with a tag
// keeps that tag, and one without text has none.
QString anchorText(const QString& anchor) {
    const qsizetype g = anchor.indexOf(u'>');
    if (g < 0)
        return {};
    const qsizetype lt = anchor.indexOf(u'<', g + 2);
    const qsizetype length = lt < 0 ? 0 : lt - (g + 1);
    return TrimDoubleSpace(anchor.mid(g + 1, length));
}

// The position of the first occurrence in the page of each of the links (-1
// for one it does not hold). A page holds hundreds of links, so rather than
// searching the page once per link, one rolling-hash pass per distinct link
// length finds them all; a hash match is confirmed by comparing the text.
QHash<QString, qsizetype> firstOccurrences(QStringView page, const THtmlLines& links) {
    QHash<QString, qsizetype> first;
    std::unordered_map<qsizetype, std::vector<QString>> byLength;
    for (const std::u16string& entry : links) {
        const QString link = QString::fromStdU16String(entry);
        if (first.contains(link))
            continue;
        first.insert(link, link.isEmpty() ? 0 : -1);
        if (!link.isEmpty() && link.size() <= page.size())
            byLength[link.size()].push_back(link);
    }
    constexpr std::uint64_t base = 0x100000001B3ULL; // odd, so every power is non-zero
    constexpr int filterBits = 20;
    const auto hashOf = [&](QStringView text) {
        std::uint64_t h = 0;
        for (const QChar c : text)
            h = h * base + c.unicode();
        return h;
    };
    for (const auto& [length, group] : byLength) {
        std::unordered_multimap<std::uint64_t, const QString*> wanted;
        // Most windows match no link: a bit per hash prefix rules them out
        // before the map is asked.
        std::vector<bool> maybe(std::size_t(1) << filterBits);
        for (const QString& link : group) {
            const std::uint64_t h = hashOf(link);
            wanted.emplace(h, &link);
            maybe[h >> (64 - filterBits)] = true;
        }
        std::uint64_t top = 1; // base to the power length - 1, the weight of a window's first unit
        for (qsizetype i = 1; i < length; ++i)
            top *= base;
        std::uint64_t h = hashOf(page.first(length));
        for (qsizetype at = 0;; ++at) {
            auto [match, end] = maybe[h >> (64 - filterBits)]
                                    ? wanted.equal_range(h)
                                    : std::pair(wanted.end(), wanted.end());
            while (match != end) {
                if (page.sliced(at, length) == *match->second) {
                    first[*match->second] = at;
                    match = wanted.erase(match);
                } else {
                    ++match;
                }
            }
            if (wanted.empty() || at + length >= page.size())
                break;
            h = (h - page[at].unicode() * top) * base + page[at + length].unicode();
        }
    }
    return first;
}

} // namespace

QString TrimDoubleSpace(const QString& text) {
    QString out;
    out.reserve(text.size());
    char16_t previous = 0;
    bool hasPrevious = false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u' ' && hasPrevious && previous == u' ') {
            hasPrevious = false;
            continue;
        }
        previous = c;
        hasPrevious = true;
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            continue;
        out += ch;
    }
    return out;
}

QString GetBaseURL(const QString& address) {
    const qsizetype tenth = advanceChars(address, 0, 9);
    const qsizetype slash = address.lastIndexOf(u'/');
    if (slash < 0 || slash < tenth)
        return address;
    return address.left(slash);
}

TCapturedTopics basicHeadlines(const QString& page, const THtmlLines& webLinks,
                               const QString& address) {
    TCapturedTopics topics;
    const QHash<QString, qsizetype> first = firstOccurrences(page, webLinks);
    for (const std::u16string& entry : webLinks) {
        const QString link = QString::fromStdU16String(entry);
        const qsizetype found = first.value(link);
        // A link the page does not hold as written (the parser joins lines)
        // is looked up at the position its length gives, as if it stood
        // at the start.
        const qsizetype start =
            found >= 0 ? found + link.size() : advanceChars(page, 0, charCount(link) - 1);
        const qsizetype end = advanceChars(page, start, headlineWindow);
        const std::u32string after = toChars(QStringView(page).sliced(start, end - start));

        const std::size_t gt = after.find(U'>');
        if (gt == std::u32string::npos)
            continue;
        const std::size_t lt = after.find(U'<');
        // The text runs from after the ">" for as many characters as the "<"
        // stands after the link's closing quote and ">".
        const std::size_t length = lt == std::u32string::npos || lt < 2 ? 0 : lt - 2;
        QString headline =
            TrimDoubleSpace(fromChars(std::u32string_view(after).substr(gt + 1, length)));
        if (headline.startsWith(u' '))
            headline.remove(0, 1);
        if (const qsizetype cut = headline.indexOf(u'<'); cut >= 0)
            headline.truncate(cut);
        headline = TrimDoubleSpace(headline);
        if (charCount(headline) <= 1)
            continue;
        topics.append({headline, resolved(link, address), QString()});
    }
    return topics;
}

TCapturedTopics advancedHeadlines(const QString& page, const QString& address,
                                  const QString& headlineClass, const QString& synopsisClass) {
    TCapturedTopics topics;
    if (headlineClass.isEmpty())
        return topics;
    const QString lower = lowerAscii(page);
    const QString classMark = u'"' + headlineClass;
    ForwardFinder headlineMark(page, headlineClass);
    ForwardFinder anchorOpen(lower, QStringLiteral("<a "));
    ForwardFinder anchorClose(lower, QStringLiteral("</a>"));
    ForwardFinder divOpen(lower, QStringLiteral("<div class=\"") + synopsisClass + u'"');
    ForwardFinder spanOpen(lower, QStringLiteral("<span class=\"") + synopsisClass + u'"');
    ForwardFinder divClose(lower, QStringLiteral("</div>"));
    ForwardFinder spanClose(lower, QStringLiteral("</span>"));

    // The rest of the page still to be read starts at `from`.
    qsizetype from = 0;
    while (from < page.size() && headlineMark.next(from) >= 0) {
        const qsizetype open = anchorOpen.next(from);
        const qsizetype close = anchorClose.next(from);
        QString anchor;
        if (open >= 0 && close >= open)
            anchor = page.mid(open, close - open + 4);
        dropLineBreak(anchor);
        from = close >= 0 ? close + 4 : from + 3;

        if (!anchor.contains(u"class=") || !anchor.contains(classMark))
            continue;

        const QString href = hrefOf(anchor);
        const QString headline = anchorText(anchor);

        QString synopsis;
        const qsizetype div = divOpen.next(from);
        const qsizetype span = spanOpen.next(from);
        if (div != span) {
            const bool isDiv = span < 0 || (div >= 0 && div < span);
            const qsizetype start = isDiv ? div : span;
            const qsizetype width = isDiv ? 6 : 7;
            const qsizetype end = (isDiv ? divClose : spanClose).next(start);
            // Without a closing tag the element is only its first characters.
            const qsizetype length = end >= 0 ? end - start + width : width - 1;
            const QStringView element =
                QStringView(page).sliced(start, qMin(length, page.size() - start));
            const qsizetype gt = element.indexOf(u'>');
            const qsizetype inner = element.size() - (gt + 1) - width;
            if (inner > 0 && element.contains(synopsisClass))
                synopsis = element.sliced(gt + 1, inner).toString();
            from = end >= 0 ? end + width - 1 : start + width - 2;
        }
        topics.append({headline, href.isEmpty() ? address : resolved(href, address), synopsis});
    }
    return topics;
}
