#pragma once
// XML 1.0 character classes for names and whitespace, on UTF-16 code units.

#include <string>

// A surrogate code unit counts as a name character: the pair it belongs to
// encodes a character in U+10000..U+EFFFF, which XML allows in names.
bool isXmlNameStartChar(char16_t c);
bool isXmlNameChar(char16_t c);

inline bool isXmlSpace(char16_t c) {
    return c == u' ' || c == u'\n' || c == u'\t' || c == u'\r';
}

// True when s is a non-empty XML name.
bool isXmlName(const std::u16string& s);
