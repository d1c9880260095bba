#include "xml/XmlChars.h"

namespace {

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

bool isXmlNameStartChar(char16_t c) {
    if (c < 0x80)
        return isAsciiLetter(c) || c == u'_' || c == u':';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xDFFF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD);
}

bool isXmlNameChar(char16_t c) {
    if (c < 0x80)
        return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'_' || c == u':' ||
               c == u'-' || c == u'.';
    return isXmlNameStartChar(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
           (c >= 0x203F && c <= 0x2040);
}

bool isXmlName(const std::u16string& s) {
    if (s.empty())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (isHighSurrogate(c)) {
            // U+F0000 and above (high surrogates DB80..DBFF) are not name characters.
            if (c > 0xDB7F || i + 1 >= s.size() || !isLowSurrogate(s[i + 1]))
                return false;
            ++i;
            continue;
        }
        if (isLowSurrogate(c))
            return false;
        if (i == 0 ? !isXmlNameStartChar(c) : !isXmlNameChar(c))
            return false;
    }
    return true;
}
