#pragma once
// Declared encodings beyond the engine's own (UTF-8, UTF-16, ISO-8859-1),
// reached through the C library's iconv: windows-1252, the ISO-8859 parts,
// KOI8-R, Shift_JIS, GB18030 and whatever else it knows.
//
// Only a set that reads XML markup as ASCII is taken: the reader has already
// decoded the declaration naming it as ASCII, and the writer writes markup as
// ASCII. A set that does not (UTF-32, UTF-7, EBCDIC) is treated as unknown.
//
// A TXmlCharset is used by one reader or writer at a time; it is not shared
// between threads.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

class TXmlCharset {
public:
    // Null when iconv does not know name or the set does not read markup as
    // ASCII.
    static std::unique_ptr<TXmlCharset> open(std::u16string_view name);
    ~TXmlCharset();
    TXmlCharset(const TXmlCharset&) = delete;
    TXmlCharset& operator=(const TXmlCharset&) = delete;

    enum class Decoded { Ok, Incomplete, Invalid };
    // Decodes bytes [in, end) into UTF-16 code units at out, at most room of
    // them; in and out advance past what was converted. Incomplete: the bytes
    // end inside a sequence (more input may complete it). Invalid: the bytes
    // at in are not a character of the set.
    Decoded decode(const std::uint8_t*& in, const std::uint8_t* end, char16_t*& out,
                   std::size_t room);

    // Whether the set has a byte sequence for the character c (not a
    // surrogate), so that it reads back as c.
    bool holds(char32_t c);
    // Text whose every character holds() accepts, in the set's bytes.
    std::string encode(std::u16string_view text);

private:
    TXmlCharset() = default;
    void* toUnicode_ = nullptr; // iconv_t
    void* fromUnicode_ = nullptr;
    std::unordered_map<char32_t, bool> held_;
};
