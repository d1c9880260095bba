#include "capture/PageText.h"

#include <QStringDecoder>

#include <array>
#include <cstring>

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

QByteArray lowerAscii(QByteArrayView text) {
    QByteArray out(text.data(), text.size());
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

// Whether `text` holds the lower-case ASCII `needle` at `pos`, in any case.
bool hasAt(QByteArrayView text, qsizetype pos, QByteArrayView needle) {
    if (pos < 0 || pos + needle.size() > text.size())
        return false;
    for (qsizetype i = 0; i < needle.size(); ++i)
        if (lowerAscii(text[pos + i]) != needle[i])
            return false;
    return true;
}

constexpr std::array<const char*, 3> utf8Labels = {"utf-8", "utf8", "unicode-1-1-utf-8"};
// Browsers read every one of these as windows-1252: pages labelled Latin-1
// routinely hold its quotes and dashes in 0x80-0x9F.
constexpr std::array<const char*, 17> windows1252Labels = {
    "windows-1252", "cp1252", "x-cp1252", "iso-8859-1",      "iso8859-1",     "iso88591",
    "iso_8859-1",   "latin1", "l1",       "cp819",           "ibm819",        "iso-ir-100",
    "csisolatin1",  "ascii",  "us-ascii", "iso_8859-1:1987", "ansi_x3.4-1968"};

template <std::size_t N>
bool isOneOf(const QByteArray& label, const std::array<const char*, N>& set) {
    for (const char* name : set)
        if (label == name)
            return true;
    return false;
}

const QByteArray utf8Name = QByteArrayLiteral("UTF-8");
const QByteArray windows1252Name = QByteArrayLiteral("windows-1252");

// The name a decoder is made from for a declared label; empty for a label no
// decoder knows.
QByteArray knownCharset(QByteArrayView declared) {
    const QByteArray label = lowerAscii(declared.trimmed());
    if (label.isEmpty())
        return {};
    if (isOneOf(label, utf8Labels))
        return utf8Name;
    if (isOneOf(label, windows1252Labels))
        return windows1252Name;
    QStringDecoder decoder(label.constData());
    if (!decoder.isValid())
        return {};
    return QByteArray(decoder.name());
}

// The value of the "charset" parameter in a Content-Type text, as written.
QByteArray charsetParameter(QByteArrayView text) {
    for (qsizetype at = 0; at + 7 <= text.size(); ++at) {
        if (!hasAt(text, at, "charset"))
            continue;
        qsizetype i = at + 7;
        while (i < text.size() && isSpace(text[i]))
            ++i;
        if (i >= text.size() || text[i] != '=')
            continue;
        ++i;
        while (i < text.size() && isSpace(text[i]))
            ++i;
        if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
            const char quote = text[i++];
            qsizetype end = i;
            while (end < text.size() && text[end] != quote)
                ++end;
            return QByteArray(text.data() + i, end - i);
        }
        qsizetype end = i;
        while (end < text.size() && !isSpace(text[end]) && text[end] != ';')
            ++end;
        return QByteArray(text.data() + i, end - i);
    }
    return {};
}

struct MetaAttributes {
    QByteArray charset;
    QByteArray httpEquiv;
    QByteArray content;
};

// Reads the attributes of a META tag from just after its name; `pos` ends on
// the tag's ">" or at the end of the page. The first of each name counts.
MetaAttributes readMeta(QByteArrayView page, qsizetype& pos) {
    MetaAttributes meta;
    bool seenCharset = false, seenEquiv = false, seenContent = false;
    const qsizetype n = page.size();
    while (pos < n) {
        while (pos < n && (isSpace(page[pos]) || page[pos] == '/'))
            ++pos;
        if (pos >= n || page[pos] == '>')
            break;
        const qsizetype nameStart = pos;
        ++pos; // a name may begin with "="
        while (pos < n && !isSpace(page[pos]) && page[pos] != '>' && page[pos] != '=')
            ++pos;
        const QByteArray name = lowerAscii(page.sliced(nameStart, pos - nameStart));
        while (pos < n && isSpace(page[pos]))
            ++pos;
        QByteArray value;
        if (pos < n && page[pos] == '=') {
            ++pos;
            while (pos < n && isSpace(page[pos]))
                ++pos;
            if (pos < n && (page[pos] == '"' || page[pos] == '\'')) {
                const char quote = page[pos++];
                const qsizetype start = pos;
                while (pos < n && page[pos] != quote)
                    ++pos;
                value = page.sliced(start, pos - start).toByteArray();
                if (pos < n)
                    ++pos;
            } else {
                const qsizetype start = pos;
                while (pos < n && !isSpace(page[pos]) && page[pos] != '>')
                    ++pos;
                value = page.sliced(start, pos - start).toByteArray();
            }
        }
        if (name == "charset" && !seenCharset) {
            meta.charset = value;
            seenCharset = true;
        } else if (name == "http-equiv" && !seenEquiv) {
            meta.httpEquiv = value;
            seenEquiv = true;
        } else if (name == "content" && !seenContent) {
            meta.content = value;
            seenContent = true;
        }
    }
    return meta;
}

constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeWindows1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* to = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *to++ = QChar(b >= 0x80 && b < 0xA0 ? windows1252High[b - 0x80] : char16_t(b));
    }
    return out;
}

} // namespace

QByteArray chunkText(const char* buffer, int len) {
    if (!buffer || len <= 0)
        return {};
    const void* zero = std::memchr(buffer, 0, static_cast<std::size_t>(len));
    const qsizetype size = zero ? static_cast<const char*>(zero) - buffer : len;
    return QByteArray(buffer, size);
}

QByteArray joinChunks(const QByteArrayList& chunks) {
    return chunks.join();
}

QByteArray charsetOfContentType(const QString& contentType) {
    return charsetParameter(contentType.toLatin1());
}

QByteArray metaCharset(const QByteArray& page) {
    const QByteArrayView view(page);
    qsizetype pos = 0;
    while (pos < view.size()) {
        const qsizetype lt = view.indexOf('<', pos);
        if (lt < 0)
            break;
        if (hasAt(view, lt, "<!--")) {
            const qsizetype end = view.indexOf("-->", lt + 4);
            if (end < 0)
                break;
            pos = end + 3;
            continue;
        }
        pos = lt + 1;
        if (!hasAt(view, lt, "<meta") || lt + 5 >= view.size() ||
            !(isSpace(view[lt + 5]) || view[lt + 5] == '/'))
            continue;
        pos = lt + 5;
        const MetaAttributes meta = readMeta(view, pos);
        QByteArray declared = meta.charset;
        if (declared.isEmpty() && lowerAscii(meta.httpEquiv) == "content-type")
            declared = charsetParameter(meta.content);
        QByteArray known = knownCharset(declared);
        // A page that could name its set in a META tag is not UTF-16.
        if (known.startsWith("UTF-16"))
            known = utf8Name;
        if (!known.isEmpty())
            return known;
    }
    return {};
}

bool isValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        unsigned char low = 0x80, high = 0xBF; // range of the first continuation byte
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0)
                low = 0xA0; // overlong
            else if (c == 0xED)
                high = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0)
                low = 0x90; // overlong
            else if (c == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return false;
        }
        if (n - i - 1 < extra)
            return false;
        if (p[i + 1] < low || p[i + 1] > high)
            return false;
        for (int k = 2; k <= extra; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

QByteArray pageCharset(const QByteArray& page, const QString& contentType) {
    if (QByteArray declared = knownCharset(charsetOfContentType(contentType)); !declared.isEmpty())
        return declared;
    if (QByteArray declared = metaCharset(page); !declared.isEmpty())
        return declared;
    return isValidUtf8(page) ? utf8Name : windows1252Name;
}

QString decodeAs(const QByteArray& bytes, const QByteArray& charset) {
    if (charset == utf8Name) {
        const QByteArrayView view(bytes);
        return QString::fromUtf8(view.startsWith("\xEF\xBB\xBF") ? view.sliced(3) : view);
    }
    if (charset == windows1252Name)
        return decodeWindows1252(bytes);
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return decodeWindows1252(bytes);
    return decoder.decode(bytes);
}

QString decodePage(const QByteArray& page, const QString& contentType) {
    return decodeAs(page, pageCharset(page, contentType));
}
