#include "xml/XmlInCharFilter.h"

#include "xml/XmlMessages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The smallest decoding window, whatever BufferSize says: a window below a
// few bytes could never hold one whole UTF-8 sequence.
constexpr std::size_t kMinChunk = 16;
// A file is read in pieces of at least this size, however small the window.
constexpr std::size_t kMinRead = std::size_t(256) << 10;

constexpr std::uint64_t Ones = 0x0101010101010101ull;
constexpr std::uint64_t Highs = 0x8080808080808080ull;
constexpr std::uint64_t CRs = 0x0D0D0D0D0D0D0D0Dull;

// Eight bytes that need no care: no byte above 0x7F (when asciiOnly) and no CR.
inline bool plainBlock(const std::uint8_t* p, bool asciiOnly) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    std::uint64_t x = w ^ CRs;
    std::uint64_t bad = (x - Ones) & ~x & Highs;
    if (asciiOnly)
        bad |= w & Highs;
    return bad == 0;
}

// Widens the leading blocks of sixteen bytes that need no care (as
// plainBlock) and returns how many bytes it took.
inline std::size_t plainBlocks16(const std::uint8_t* p, const std::uint8_t* e, char16_t* out,
                                 bool asciiOnly) {
    std::size_t done = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi8('\r');
    while (e - p >= 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int bad = _mm_movemask_epi8(_mm_cmpeq_epi8(x, cr));
        if (asciiOnly)
            bad |= _mm_movemask_epi8(x);
        // Sixteen units are stored; up to the first byte that needs care count.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(x, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(x, zero));
        if (bad) {
            done += static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(bad)));
            break;
        }
        p += 16;
        out += 16;
        done += 16;
    }
#else
    (void)p;
    (void)e;
    (void)out;
    (void)asciiOnly;
#endif
    return done;
}

inline bool isTrail(std::uint8_t b) {
    return (b & 0xC0) == 0x80;
}

const std::u16string BadUtf8 = xmlmsg::wide(xmlmsg::kBadUtf8);

} // namespace

TXmlInCharFilter::TXmlInCharFilter(std::size_t bufferSize)
    : bufferSize_(bufferSize), chunk_(std::max(bufferSize, kMinChunk)) {}

TXmlInCharFilter::~TXmlInCharFilter() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool TXmlInCharFilter::openFile(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    readSize_ = std::max(chunk_, kMinRead);
    bytes_.reset(new std::uint8_t[readSize_]);
    p_ = e_ = readEnd_ = bytes_.get();
    return true;
}

void TXmlInCharFilter::openMemory(const char* bytes, std::size_t length) {
    p_ = e_ = reinterpret_cast<const std::uint8_t*>(bytes);
    memEnd_ = p_ + length;
    eof_ = true;
}

bool TXmlInCharFilter::fillWindow() {
    if (!bytes_) {
        e_ = p_ + std::min<std::size_t>(chunk_, static_cast<std::size_t>(memEnd_ - p_));
        return e_ == memEnd_;
    }
    std::size_t left = static_cast<std::size_t>(readEnd_ - p_);
    if (left < chunk_ && !eof_) {
        if (p_ != bytes_.get())
            std::memmove(bytes_.get(), p_, left);
        p_ = bytes_.get();
        while (!eof_ && left < readSize_) {
            ssize_t n = ::read(fd_, bytes_.get() + left, readSize_ - left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                eof_ = true;
                break;
            }
            left += static_cast<std::size_t>(n);
        }
        readEnd_ = p_ + left;
    }
    e_ = p_ + std::min(chunk_, left);
    return eof_ && e_ == readEnd_;
}

void TXmlInCharFilter::detectByteOrderMark() {
    std::size_t n = static_cast<std::size_t>(e_ - p_);
    if (n >= 2 && p_[0] == 0xFE && p_[1] == 0xFF) {
        encoding_ = ceUTF16BE;
        p_ += 2;
    } else if (n >= 2 && p_[0] == 0xFF && p_[1] == 0xFE) {
        encoding_ = ceUTF16LE;
        p_ += 2;
    } else if (n >= 3 && p_[0] == 0xEF && p_[1] == 0xBB && p_[2] == 0xBF) {
        p_ += 3;
    }
}

bool TXmlInCharFilter::finished() const {
    return pendingError_.empty() && p_ == e_ && (bytes_ ? eof_ && e_ == readEnd_ : e_ == memEnd_);
}

namespace {

bool sameNameNoCase(const std::u16string& a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z')
            x = char16_t(x - 32);
        if (y >= u'a' && y <= u'z')
            y = char16_t(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

void TXmlInCharFilter::switchEncoding(const std::u16string& name) {
    if (encoding_ != ceUTF8 || charset_ || sameNameNoCase(name, u"UTF-8"))
        return;
    if (sameNameNoCase(name, u"ISO-8859-1"))
        encoding_ = ceISO88591;
    else
        charset_ = TXmlCharset::open(name);
}

inline char16_t* TXmlInCharFilter::put(char16_t c, char16_t* out) {
    if (c == u'\r') {
        crPending_ = true;
        *out++ = u'\n';
        return out;
    }
    if (c == u'\n' && crPending_) {
        crPending_ = false;
        return out;
    }
    crPending_ = false;
    *out++ = c;
    return out;
}

std::size_t TXmlInCharFilter::decode(char16_t* out) {
    if (!pendingError_.empty())
        throw EXmlFilterError(pendingError_);
    bool last = fillWindow();
    if (!started_) {
        started_ = true;
        if (bufferSize_ >= 3)
            detectByteOrderMark();
    }
    const std::uint8_t* lim = e_;
    if (inDeclaration_) {
        // Hand out the input in pieces that end after a quote or a '>' or
        // before a '<', so that an encoding named by the XML declaration
        // (however malformed) applies to every byte after its value.
        if (encoding_ != ceUTF8 || charset_) {
            inDeclaration_ = false;
        } else {
            for (const std::uint8_t* q = p_; q < e_; ++q) {
                std::uint8_t b = *q;
                if (b == '<' && q != p_) {
                    lim = q;
                    break;
                }
                if (b == '>' || b == '"' || b == '\'') {
                    lim = q + 1;
                    break;
                }
            }
            // The piece ends at an ASCII byte, so a sequence cut there is malformed.
            if (lim != e_)
                last = true;
        }
    }
    if (charset_)
        return decodeCharset(lim, last, out);
    switch (encoding_) {
    case ceISO88591:
        return decodeLatin1(lim, out);
    case ceUTF16LE:
        return decodeUtf16(lim, last, false, out);
    case ceUTF16BE:
        return decodeUtf16(lim, last, true, out);
    default:
        return decodeUtf8(lim, last, out);
    }
}

std::size_t TXmlInCharFilter::decodeUtf8(const std::uint8_t* e, bool last, char16_t* out) {
    char16_t* const start = out;
    const std::uint8_t* p = p_;
    while (p < e) {
        if (!crPending_) {
            // Runs of ASCII and whole two- and three-byte sequences that need
            // no range check beyond their trail bytes; the rest goes below.
            // Blocks are tried again after a few ASCII characters in a row,
            // not after every character of mixed text.
            int asciiRun = 8;
            for (;;) {
                if (asciiRun >= 8) {
                    std::size_t wide = plainBlocks16(p, e, out, true);
                    p += wide;
                    out += wide;
                    while (e - p >= 8 && plainBlock(p, true)) {
                        for (int i = 0; i < 8; ++i)
                            out[i] = p[i];
                        p += 8;
                        out += 8;
                    }
                    asciiRun = 0;
                }
                if (p == e)
                    break;
                std::uint8_t b = *p;
                if (b < 0x80) {
                    if (b == '\r')
                        break;
                    *out++ = b;
                    ++p;
                    ++asciiRun;
                    continue;
                }
                asciiRun = 0;
                if (b >= 0xC2 && b <= 0xDF) {
                    if (e - p < 2 || !isTrail(p[1]))
                        break;
                    *out++ = static_cast<char16_t>(((b & 0x1F) << 6) | (p[1] & 0x3F));
                    p += 2;
                } else if (b >= 0xE1 && b <= 0xEF && b != 0xED) {
                    if (e - p < 3 || !isTrail(p[1]) || !isTrail(p[2]))
                        break;
                    *out++ = static_cast<char16_t>(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) |
                                                   (p[2] & 0x3F));
                    p += 3;
                } else {
                    break;
                }
            }
            if (p == e)
                break;
        }
        std::uint8_t b = *p;
        if (b < 0x80) {
            out = put(b, out);
            ++p;
            continue;
        }
        int len;
        std::uint32_t cp;
        std::uint8_t lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0F;
            if (b == 0xE0)
                lo = 0xA0;
            else if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;
        } else {
            pendingError_ = BadUtf8;
            break;
        }
        std::ptrdiff_t have = e - p;
        bool bad = false;
        for (int i = 1; i < len && i < have; ++i) {
            std::uint8_t t = p[i];
            if (i == 1 ? (t < lo || t > hi) : !isTrail(t)) {
                bad = true;
                break;
            }
            cp = (cp << 6) | (t & 0x3F);
        }
        if (bad || (have < len && last)) {
            pendingError_ = BadUtf8;
            break;
        }
        if (have < len)
            break; // the rest of the sequence comes with the next window
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            crPending_ = false;
        } else {
            out = put(static_cast<char16_t>(cp), out);
        }
        p += len;
    }
    p_ = p;
    return static_cast<std::size_t>(out - start);
}

std::size_t TXmlInCharFilter::decodeLatin1(const std::uint8_t* e, char16_t* out) {
    char16_t* const start = out;
    const std::uint8_t* p = p_;
    while (p < e) {
        if (!crPending_) {
            std::size_t wide = plainBlocks16(p, e, out, false);
            p += wide;
            out += wide;
            while (e - p >= 8 && plainBlock(p, false)) {
                for (int i = 0; i < 8; ++i)
                    out[i] = p[i];
                p += 8;
                out += 8;
            }
            if (p == e)
                break;
        }
        out = put(*p++, out);
    }
    p_ = p;
    return static_cast<std::size_t>(out - start);
}

std::size_t TXmlInCharFilter::decodeUtf16(const std::uint8_t* e, bool last, bool bigEndian,
                                          char16_t* out) {
    char16_t* const start = out;
    const std::uint8_t* p = p_;
    auto unit = [bigEndian](const std::uint8_t* q) {
        return static_cast<char16_t>(bigEndian ? (q[0] << 8) | q[1] : (q[1] << 8) | q[0]);
    };
    const std::u16string bad = xmlmsg::wide(bigEndian ? xmlmsg::kBadUtf16BE : xmlmsg::kBadUtf16LE);
    while (e - p >= 2) {
        char16_t c = unit(p);
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (e - p < 4) {
                if (last)
                    pendingError_ = bad;
                break;
            }
            char16_t d = unit(p + 2);
            if (d < 0xDC00 || d > 0xDFFF) {
                pendingError_ = bad;
                break;
            }
            *out++ = c;
            *out++ = d;
            crPending_ = false;
            p += 4;
            continue;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) {
            pendingError_ = bad;
            break;
        }
        out = put(c, out);
        p += 2;
    }
    if (last && pendingError_.empty() && e - p == 1)
        pendingError_ = bad;
    p_ = p;
    return static_cast<std::size_t>(out - start);
}

std::size_t TXmlInCharFilter::decodeCharset(const std::uint8_t* e, bool last, char16_t* out) {
    char16_t* const start = out;
    // Decoded into the caller's room first, then through put() in place:
    // line-end folding only ever shortens.
    char16_t* end = out;
    TXmlCharset::Decoded d = charset_->decode(p_, e, end, chunk_);
    for (char16_t* q = out; q < end; ++q)
        out = put(*q, out);
    if (d == TXmlCharset::Decoded::Invalid || (d == TXmlCharset::Decoded::Incomplete && last))
        pendingError_ = BadUtf8;
    return static_cast<std::size_t>(out - start);
}
