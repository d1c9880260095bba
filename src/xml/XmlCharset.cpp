#include "xml/XmlCharset.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

// The ASCII characters XML markup is made of; a set must read and write each
// of them as the one byte of the same value.
constexpr std::string_view kMarkupAscii =
    "\t\n\r !\"#%&'()*+,-./0123456789:;<=>?"
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ[]_abcdefghijklmnopqrstuvwxyz|";

// The converters' side of the text; named with its byte order so that no
// byte order mark is expected or written.
constexpr const char* kUnicode = "UTF-16LE";

iconv_t handle(void* h) {
    return static_cast<iconv_t>(h);
}

bool failed(iconv_t cd) {
    return cd == reinterpret_cast<iconv_t>(-1);
}

// One conversion of a whole buffer from the initial state; false on any error.
bool convertAll(iconv_t cd, const char* in, std::size_t n, std::string& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    std::size_t left = n;
    char buf[4096];
    out.clear();
    for (;;) {
        char* dst = buf;
        std::size_t room = sizeof buf;
        std::size_t rc = iconv(cd, left ? &src : nullptr, left ? &left : nullptr, &dst, &room);
        out.append(buf, sizeof buf - room);
        if (rc != std::size_t(-1) && left == 0) {
            if (src == nullptr)
                return true;
            src = nullptr; // flush the shift state
            continue;
        }
        if (rc == std::size_t(-1) && errno != E2BIG)
            return false;
    }
}

} // namespace

std::unique_ptr<TXmlCharset> TXmlCharset::open(std::u16string_view name) {
    std::string ascii;
    for (char16_t c : name) {
        if (c == 0 || c > 0x7E)
            return nullptr;
        ascii += char(c);
    }
    if (ascii.empty())
        return nullptr;
    std::unique_ptr<TXmlCharset> set(new TXmlCharset);
    iconv_t to = iconv_open(kUnicode, ascii.c_str());
    if (failed(to))
        return nullptr;
    set->toUnicode_ = to;
    iconv_t from = iconv_open(ascii.c_str(), kUnicode);
    if (failed(from))
        return nullptr;
    set->fromUnicode_ = from;
    std::string out;
    for (char c : kMarkupAscii) {
        char unit[2] = {c, 0};
        if (!convertAll(to, &c, 1, out) || out != std::string_view(unit, 2))
            return nullptr;
        if (!convertAll(from, unit, 2, out) || out != std::string_view(&c, 1))
            return nullptr;
    }
    iconv(to, nullptr, nullptr, nullptr, nullptr);
    return set;
}

TXmlCharset::~TXmlCharset() {
    if (toUnicode_)
        iconv_close(handle(toUnicode_));
    if (fromUnicode_)
        iconv_close(handle(fromUnicode_));
}

TXmlCharset::Decoded TXmlCharset::decode(const std::uint8_t*& in, const std::uint8_t* end,
                                         char16_t*& out, std::size_t room) {
    char units[512];
    while (in < end && room > 0) {
        char* src = reinterpret_cast<char*>(const_cast<std::uint8_t*>(in));
        std::size_t left = std::size_t(end - in);
        char* dst = units;
        std::size_t space = std::min(sizeof units, 2 * room);
        std::size_t rc = iconv(handle(toUnicode_), &src, &left, &dst, &space);
        int err = rc == std::size_t(-1) ? errno : 0;
        in = reinterpret_cast<const std::uint8_t*>(src);
        std::size_t made = std::size_t(dst - units) / 2;
        for (std::size_t i = 0; i < made; ++i)
            *out++ = char16_t(std::uint8_t(units[2 * i]) | (std::uint8_t(units[2 * i + 1]) << 8));
        room -= made;
        if (err == EILSEQ)
            return Decoded::Invalid;
        if (err == EINVAL)
            return Decoded::Incomplete;
        if (err == E2BIG && made == 0)
            break; // a character that takes more room than is left
    }
    return Decoded::Ok;
}

bool TXmlCharset::holds(char32_t c) {
    auto it = held_.find(c);
    if (it != held_.end())
        return it->second;
    char units[4];
    std::size_t n = 2;
    if (c >= 0x10000) {
        char32_t v = c - 0x10000;
        char16_t hi = char16_t(0xD800 + (v >> 10)), lo = char16_t(0xDC00 + (v & 0x3FF));
        units[0] = char(hi & 0xFF);
        units[1] = char(hi >> 8);
        units[2] = char(lo & 0xFF);
        units[3] = char(lo >> 8);
        n = 4;
    } else {
        units[0] = char(c & 0xFF);
        units[1] = char(c >> 8);
    }
    std::string bytes, back;
    // Held only when the bytes read back as the same character: a set may
    // map a character it lacks to a look-alike.
    bool ok = convertAll(handle(fromUnicode_), units, n, bytes) &&
              convertAll(handle(toUnicode_), bytes.data(), bytes.size(), back) &&
              back == std::string_view(units, n);
    held_.emplace(c, ok);
    return ok;
}

std::string TXmlCharset::encode(std::u16string_view text) {
    std::string units;
    units.reserve(2 * text.size());
    for (char16_t c : text) {
        units += char(c & 0xFF);
        units += char(c >> 8);
    }
    std::string bytes;
    convertAll(handle(fromUnicode_), units.data(), units.size(), bytes);
    return bytes;
}
