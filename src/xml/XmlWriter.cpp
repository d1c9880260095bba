#include "XmlWriter.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

char32_t pairValue(char16_t hi, char16_t lo) {
    return 0x10000 + ((char32_t(hi) - 0xD800) << 10) + (char32_t(lo) - 0xDC00);
}

void appendDecimal(std::u16string& out, char32_t v) {
    char16_t buf[12];
    int n = 0;
    do {
        buf[n++] = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v);
    while (n)
        out += buf[--n];
}

void appendRef(std::u16string& out, char32_t v) {
    out += u"&#";
    appendDecimal(out, v);
    out += u';';
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

class Writer {
public:
    Writer(const TXmlDocumentSettings& s, TXmlCharEncoding enc, std::u16string& out)
        : s_(s), out_(out), latin1_(enc == ceISO88591 || enc == ceUnknown) {
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
        for (const TXmlNode* c = doc.firstRaw(); c; c = c->nextRaw()) {
            if (!first)
                out_ += u"\r\n";
            first = false;
            if (c->nodeType() == COMMENT_NODE && s_.FormattedOutput)
                out_ += u"\r\n";
            subtree(*c);
        }
    }

    void fragment(const TXmlNode& frag) {
        for (const TXmlNode* c = frag.firstRaw(); c; c = c->nextRaw())
            subtree(*c);
    }

    // root and its descendants, root at depth 0; no recursion.
    void subtree(const TXmlNode& root) {
        const TXmlNode* n = &root;
        int depth = 0;
        for (;;) {
            if (enter(*n, depth)) {
                n = n->firstRaw();
                ++depth;
                continue;
            }
            while (n != &root && !n->nextRaw()) {
                n = n->parentRaw();
                --depth;
                leave(*n, depth);
            }
            if (n == &root)
                return;
            n = n->nextRaw();
        }
    }

private:
    void newline(int depth) {
        if (!s_.FormattedOutput)
            return;
        out_ += u"\r\n";
        out_.append(std::size_t(2 * depth), u' ');
    }

    // Writes n up to its children; true when they follow.
    bool enter(const TXmlNode& n, int depth) {
        const TXmlNode* parent = n.parentRaw();
        bool inElement = depth > 0 && parent && parent->nodeType() == ELEMENT_NODE;
        switch (n.nodeType()) {
        case ELEMENT_NODE: {
            if (inElement)
                newline(depth);
            out_ += u'<';
            name(n.nodeName());
            if (const TXmlNamedNodeMap* attrs = n.attributes())
                for (const auto& a : attrs->items()) {
                    out_ += u' ';
                    name(a->nodeName());
                    out_ += u"=\"";
                    escaped(a->nodeValue(), true);
                    out_ += u'"';
                }
            if (!n.firstRaw()) {
                out_ += u"/>";
                return false;
            }
            out_ += u'>';
            return true;
        }
        case TEXT_NODE: {
            const TXmlNode* prev = n.previousSibling().get();
            if (inElement && prev && prev->nodeType() == COMMENT_NODE && s_.FormattedOutput)
                out_ += u"\r\n";
            escaped(n.nodeValue(), false);
            return false;
        }
        case CDATA_SECTION_NODE:
            cdata(n.nodeValue());
            return false;
        case COMMENT_NODE:
            if (inElement)
                newline(depth);
            comment(n.nodeValue());
            return false;
        case PROCESSING_INSTRUCTION_NODE:
            if (inElement)
                newline(depth);
            processingInstruction(n);
            return false;
        case ENTITY_REFERENCE_NODE:
            out_ += u'&';
            name(n.nodeName());
            out_ += u';';
            return false;
        case DOCUMENT_TYPE_NODE:
            docType(static_cast<const TXmlDocumentType&>(n));
            return false;
        case ELEMENT_DECL_NODE:
        case ATTLIST_DECL_NODE:
        case ENTITY_NODE:
        case NOTATION_NODE:
            markup(n.nodeValue());
            return false;
        case DOCUMENT_NODE:
            document(n);
            return false;
        case DOCUMENT_FRAGMENT_NODE:
            fragment(n);
            return false;
        case ATTRIBUTE_NODE:
            escaped(n.nodeValue(), true);
            return false;
        }
        return false;
    }

    void leave(const TXmlNode& element, int depth) {
        if (element.lastRaw()->nodeType() != TEXT_NODE)
            newline(depth);
        out_ += u"</";
        name(element.nodeName());
        out_ += u'>';
    }

    // Text and attribute values: ASCII only, everything else a reference.
    void escaped(const std::u16string& v, bool attr) {
        const char16_t* p = v.data();
        std::size_t n = v.size();
        for (std::size_t i = 0; i < n;) {
            std::size_t j = i;
            while (j < n) {
                char16_t c = p[j];
                if (!(c == u'\t' ||
                      (c >= 0x20 && c <= 0x7E && c != u'&' && c != u'<' && !(attr && c == u'"'))))
                    break;
                ++j;
            }
            out_.append(p + i, j - i);
            if (j == n)
                return;
            char16_t c = p[j];
            i = j + 1;
            if (c == u'&')
                out_ += u"&amp;";
            else if (c == u'<')
                out_ += u"&lt;";
            else if (c == u'"')
                out_ += u"&#34;";
            else if (c == u'\n') {
                if (attr)
                    out_ += u"&#xA;";
                else
                    out_ += breakAsRef_ ? breakRef_ : lineBreak_;
            } else if (isHigh(c) && i < n && isLow(p[i])) {
                appendRef(out_, pairValue(c, p[i]));
                ++i;
            } else if (!isSurrogate(c) && !isForbidden(c))
                appendRef(out_, c);
        }
    }

    // A character the output encoding cannot hold leaves the section for its
    // reference; "]]>" is split between "]]" and ">".
    void cdata(const std::u16string& v) {
        static constexpr std::u16string_view open = u"<![CDATA[", close = u"]]>";
        out_ += open;
        const char16_t* p = v.data();
        std::size_t n = v.size();
        for (std::size_t i = 0; i < n;) {
            std::size_t j = i;
            while (j < n) {
                char16_t c = p[j];
                if (c == u'\n' || c == u']' || isSurrogate(c) || isForbidden(c) ||
                    (latin1_ && c > 0xFF))
                    break;
                ++j;
            }
            out_.append(p + i, j - i);
            if (j == n)
                break;
            char16_t c = p[j];
            i = j + 1;
            if (c == u'\n') {
                if (breakAsRef_) {
                    out_ += close;
                    out_ += breakRef_;
                    out_ += open;
                } else
                    out_ += lineBreak_;
            } else if (c == u']') {
                if (i + 1 < n && p[i] == u']' && p[i + 1] == u'>') {
                    out_ += u"]]";
                    out_ += close;
                    out_ += open;
                    ++i;
                } else
                    out_ += c;
            } else if (isHigh(c) && i < n && isLow(p[i])) {
                if (latin1_) {
                    out_ += close;
                    appendRef(out_, pairValue(c, p[i]));
                    out_ += open;
                } else {
                    out_ += c;
                    out_ += p[i];
                }
                ++i;
            } else if (!isSurrogate(c) && !isForbidden(c)) {
                out_ += close;
                appendRef(out_, c);
                out_ += open;
            }
        }
        out_ += close;
    }

    // Raw text where no reference is possible: what the encoding cannot hold
    // becomes "?", and what XML does not allow is left out. Returns nothing;
    // newlines follow the line break mode when lineBreaks is set.
    void plain(const std::u16string& v, bool lineBreaks) {
        const char16_t* p = v.data();
        std::size_t n = v.size();
        for (std::size_t i = 0; i < n; ++i) {
            char16_t c = p[i];
            if (c == u'\n' && lineBreaks)
                out_ += lineBreak_;
            else if (isHigh(c) && i + 1 < n && isLow(p[i + 1])) {
                if (latin1_)
                    out_ += u'?';
                else {
                    out_ += c;
                    out_ += p[i + 1];
                }
                ++i;
            } else if (isSurrogate(c) || isForbidden(c))
                continue;
            else if (latin1_ && c > 0xFF)
                out_ += u'?';
            else
                out_ += c;
        }
    }

    void name(const std::u16string& v) { plain(v, false); }

    void markup(const std::u16string& v) { plain(v, false); }

    // "--" inside a comment, or "-" at its end, would end it early: a space
    // keeps the dashes apart.
    void comment(const std::u16string& v) {
        out_ += u"<!--";
        std::size_t from = out_.size();
        plain(v, true);
        for (std::size_t i = from + 1; i < out_.size(); ++i)
            if (out_[i] == u'-' && out_[i - 1] == u'-')
                out_.insert(i, 1, u' ');
        if (out_.size() > from && out_.back() == u'-')
            out_ += u' ';
        out_ += u"-->";
    }

    void processingInstruction(const TXmlNode& n) {
        out_ += u"<?";
        name(n.nodeName());
        out_ += u' ';
        std::size_t from = out_.size();
        plain(n.nodeValue(), false);
        for (std::size_t i = from + 1; i < out_.size(); ++i)
            if (out_[i] == u'>' && out_[i - 1] == u'?')
                out_.insert(i, 1, u' ');
        out_ += u"?>";
    }

    void quoted(const std::u16string& v) {
        char16_t q = v.find(u'"') == std::u16string::npos ? u'"' : u'\'';
        out_ += q;
        plain(v, false);
        out_ += q;
    }

    void docType(const TXmlDocumentType& d) {
        out_ += u"<!DOCTYPE ";
        name(d.nodeName());
        out_ += u' ';
        if (!d.publicId().empty()) {
            out_ += u"PUBLIC ";
            quoted(d.publicId());
            out_ += u' ';
            quoted(d.systemId());
        } else if (!d.systemId().empty()) {
            out_ += u"SYSTEM ";
            quoted(d.systemId());
        }
        if (d.firstRaw()) {
            out_ += u'[';
            for (const TXmlNode* c = d.firstRaw(); c; c = c->nextRaw()) {
                out_ += u"\r\n  ";
                if (c->nodeType() == COMMENT_NODE)
                    comment(c->nodeValue());
                else if (c->nodeType() == PROCESSING_INSTRUCTION_NODE)
                    processingInstruction(*c);
                else
                    markup(c->nodeValue());
            }
            out_ += u"\r\n]";
        }
        out_ += u'>';
    }

    const TXmlDocumentSettings& s_;
    std::u16string& out_;
    bool latin1_;
    std::u16string_view lineBreak_;
    bool breakAsRef_;
    std::u16string_view breakRef_;
};

// The encoding named by the document's XML declaration, if any.
bool declaresLatin1(const TXmlDocument& doc) {
    for (const TXmlNode* c = doc.firstRaw(); c; c = c->nextRaw()) {
        if (c->nodeType() != PROCESSING_INSTRUCTION_NODE || c->nodeName() != u"xml")
            continue;
        const std::u16string& data = c->nodeValue();
        std::size_t at = data.find(u"encoding=");
        if (at == std::u16string::npos || at + 9 >= data.size())
            return false;
        char16_t q = data[at + 9];
        std::size_t end = data.find(q, at + 10);
        if (end == std::u16string::npos)
            return false;
        std::u16string_view name(data.data() + at + 10, end - at - 10);
        static constexpr std::u16string_view latin1 = u"ISO-8859-1";
        if (name.size() != latin1.size())
            return false;
        for (std::size_t i = 0; i < name.size(); ++i) {
            char16_t ch = name[i];
            if (ch >= u'a' && ch <= u'z')
                ch = char16_t(ch - 32);
            if (ch != latin1[i])
                return false;
        }
        return true;
    }
    return false;
}

const TXmlDocumentSettings& settingsOf(const TXmlNode& node, TXmlDocumentPtr& keep) {
    static const TXmlDocumentSettings defaults;
    keep = node.ownerDocument();
    return keep ? keep->settings() : defaults;
}

[[noreturn]] void cannotCreate(const std::string& path) {
    throw EXmlCreateFileError(path);
}

// The file a path finally names, following symbolic links (a dangling link
// names the file to be created).
std::string resolveLinks(const std::string& path) {
    std::string p = path;
    for (int hops = 0; hops < 40; ++hops) {
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
    TXmlCharEncoding enc = keep ? outputEncoding(*keep) : s.OutCharSet;
    std::u16string out;
    Writer w(s, enc, out);
    if (node.nodeType() == DOCUMENT_NODE) {
        out.reserve(4096);
        w.document(node);
    } else
        w.subtree(node);
    return out;
}

TXmlCharEncoding outputEncoding(const TXmlDocument& document) {
    TXmlCharEncoding set = document.settings().OutCharSet;
    if (set == ceUTF16LE || set == ceUTF16BE)
        return set;
    return declaresLatin1(document) ? ceISO88591 : ceUTF8;
}

std::string encodeXmlText(std::u16string_view text, TXmlCharEncoding encoding, bool signature) {
    std::string out;
    const char16_t* p = text.data();
    std::size_t n = text.size();
    switch (encoding) {
    case ceUnknown:
    case ceISO88591:
        out.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            if (p[i] > 0xFF)
                throw EXmlConvertError();
            out[i] = char(p[i]);
        }
        return out;
    case ceUTF8:
        out.reserve(n + n / 8 + 3);
        if (signature)
            out += "\xEF\xBB\xBF";
        for (std::size_t i = 0; i < n; ++i) {
            char32_t c = p[i];
            if (c < 0x80) {
                out += char(c);
                continue;
            }
            if (isHigh(char16_t(c)) && i + 1 < n && isLow(p[i + 1]))
                c = pairValue(char16_t(c), p[++i]);
            else if (isSurrogate(char16_t(c)))
                c = 0xFFFD;
            if (c < 0x800) {
                out += char(0xC0 | (c >> 6));
            } else if (c < 0x10000) {
                out += char(0xE0 | (c >> 12));
                out += char(0x80 | ((c >> 6) & 0x3F));
            } else {
                out += char(0xF0 | (c >> 18));
                out += char(0x80 | ((c >> 12) & 0x3F));
                out += char(0x80 | ((c >> 6) & 0x3F));
            }
            out += char(0x80 | (c & 0x3F));
        }
        return out;
    case ceUTF16LE:
    case ceUTF16BE: {
        bool le = encoding == ceUTF16LE;
        out.resize(2 + 2 * n);
        out[0] = le ? '\xFF' : '\xFE';
        out[1] = le ? '\xFE' : '\xFF';
        for (std::size_t i = 0; i < n; ++i) {
            char lo = char(p[i] & 0xFF), hi = char(p[i] >> 8);
            out[2 + 2 * i] = le ? lo : hi;
            out[3 + 2 * i] = le ? hi : lo;
        }
        return out;
    }
    }
    return out;
}

std::string xmlBytes(const TXmlDocument& document) {
    return encodeXmlText(xmlText(document), outputEncoding(document),
                         document.settings().WriteUTF8Signature);
}

void writeFileWhole(const std::string& path, std::string_view bytes) {
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
    bool ok = fchmod(fd, mode) == 0 && writeAll(fd, bytes) && fsync(fd) == 0;
    if (exists && ok)
        (void)!fchown(fd, st.st_uid, st.st_gid);
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        cannotCreate(path);
    }
}

bool saveToSource(const TXmlDocument& document, const std::string& destination,
                  const std::string& userName, const std::string& password, TXmlErrorList* errors) {
    (void)userName;
    (void)password;
    std::string bytes = xmlBytes(document);
    if (findNoCase(destination, "FTP://") != std::string::npos) {
        if (errors) {
            std::string rest = destination.size() > 6 ? destination.substr(6) : std::string();
            std::u16string where;
            for (unsigned char c : rest)
                where += char16_t(c);
            errors->push_back(u"Could not save file via ftp to " + where);
        }
        return false;
    }
    std::string path = destination;
    if (startsWithNoCase(path, "FILE://"))
        path.erase(0, 7);
    writeFileWhole(path, bytes);
    return true;
}
