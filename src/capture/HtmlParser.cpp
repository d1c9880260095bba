#include "capture/HtmlParser.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

using View = std::u16string_view;
constexpr std::size_t npos = View::npos;

// Page text is compared as ASCII only: a letter outside a-z is never mapped,
// whatever Unicode says about its capital.
char16_t upperAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

std::u16string upper(View text) {
    std::u16string result(text);
    std::transform(result.begin(), result.end(), result.begin(), upperAscii);
    return result;
}

// Position of an upper-case ASCII needle in text, ignoring the case of the
// text's ASCII letters. Needles are a few characters long, so the plain
// search stays linear in the text.
std::size_t findNoCase(View text, View needle) {
    if (needle.size() > text.size())
        return npos;
    const std::size_t last = text.size() - needle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        std::size_t k = 0;
        while (k < needle.size() && upperAscii(text[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return i;
    }
    return npos;
}

bool equalsNoCase(View text, View needle) {
    return text.size() == needle.size() && findNoCase(text, needle) == 0;
}

bool contains(View text, View needle) {
    return text.find(needle) != npos;
}

// The value of attribute `name` (upper case) in tag text. The name is looked
// for anywhere in the tag, even inside another attribute or its value, as
// hand-written pages are matched forgivingly. The attribute runs to the first
// space outside double quotes (that space included) or to the end of the tag,
// which keeps an unquoted final value whole.
std::u16string attributeValue(View tag, View name) {
    const std::size_t start = findNoCase(tag, name);
    if (start == npos)
        return {};
    std::size_t end = tag.size();
    bool quoted = false;
    for (std::size_t i = start; i < tag.size(); ++i) {
        if (tag[i] == u'"') {
            quoted = !quoted;
        } else if (tag[i] == u' ' && !quoted) {
            end = i + 1;
            break;
        }
    }
    View value = tag.substr(start, end - start);
    if (const std::size_t eq = value.find(u'='); eq != npos)
        value.remove_prefix(eq + 1);
    const std::size_t open = value.find(u'"');
    if (open == npos)
        return std::u16string(value);
    value.remove_prefix(open + 1);
    return std::u16string(value.substr(0, value.find(u'"')));
}

// The extension of the file name in an upper-cased link: from the last "." of
// the file name on, empty when a "\" or ":" follows that dot.
View extensionOf(View link) {
    View rest = link;
    if (const std::size_t scheme = rest.find(u"://"); scheme != npos)
        rest.remove_prefix(scheme + 3);
    else if (contains(rest, u"MAILTO:"))
        rest.remove_prefix(std::min<std::size_t>(7, rest.size()));
    if (const std::size_t slash = rest.rfind(u'/'); slash != npos)
        rest.remove_prefix(slash + 1);
    if (!contains(rest, u"."))
        return {};
    const View file = rest.substr(0, rest.find(u'?'));
    const std::size_t dot = file.rfind(u'.');
    if (dot == npos)
        return {};
    const View extension = file.substr(dot);
    if (extension.find_first_of(u"\\:") != npos)
        return {};
    return extension;
}

template <std::size_t N> bool isOneOf(View extension, const std::array<View, N>& choices) {
    return std::find(choices.begin(), choices.end(), extension) != choices.end();
}

TLocalRemote* groupOf(TParsed& parsed, View extension) {
    static constexpr std::array<View, 7> images = {u".JPG", u".JPEG", u".GIF", u".TIF",
                                                   u".PCX", u".PNG",  u".BMP"};
    static constexpr std::array<View, 6> media = {u".AVI", u".MP3", u".AU",
                                                  u".MOV", u".MPG", u".MPEG"};
    static constexpr std::array<View, 3> java = {u".JS", u".CLASS", u".JAVA"};
    static constexpr std::array<View, 2> perl = {u".PL", u".CGI"};
    if (contains(extension, u"HTM"))
        return &parsed.HTML;
    if (isOneOf(extension, images))
        return &parsed.Image;
    if (isOneOf(extension, media))
        return &parsed.Media;
    if (isOneOf(extension, java))
        return &parsed.Java;
    if (extension == u".ASP")
        return &parsed.ASP;
    if (extension == u".CSS")
        return &parsed.Style;
    if (isOneOf(extension, perl))
        return &parsed.PERL;
    if (contains(extension, u"PHP"))
        return &parsed.PHP;
    if (extension == u".CAB")
        return &parsed.ActiveX;
    return nullptr;
}

} // namespace

void THTMLParser::loadFromBuffer(std::u16string_view text) {
    html_.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = std::min(text.find_first_of(u"\r\n", i), text.size());
        html_.emplace_back(text.substr(i, end - i));
        i = end;
        if (i < text.size() && text[i] == u'\r')
            ++i;
        if (i < text.size() && text[i] == u'\n')
            ++i;
    }
}

void THTMLParser::Parse() {
    parsed_.Hyperlinks.clear();
    parsed_.Images.clear();
    parsed_.EMails.clear();
    parsed_.HTTPlinks.clear();
    parsed_.FTPlinks.clear();
    parsed_.Locallinks.clear();
    parsed_.FramePages.clear();

    std::u16string text;
    std::u16string tag;
    // A "<" inside an open tag restarts it: only what follows the last "<"
    // is the tag's text. Remembering where that is keeps long tags linear.
    std::size_t tagStart = 0;
    bool inTag = false;
    const std::size_t total = html_.size();

    // Lines are joined with nothing between them, so a tag or a text run
    // continues across a line break. Event handlers may change the page, so
    // every step looks the line up again.
    for (std::size_t l = 0; l < html_.size(); ++l) {
        std::size_t i = 0;
        while (l < html_.size() && i < html_[l].size()) {
            // Without a progress handler a whole run up to the next "<" or ">"
            // is taken at once; with one, every character is a step of its own.
            if (OnParsing) {
                OnParsing(*this, l + 1, total);
                if (l >= html_.size() || i >= html_[l].size())
                    break;
            }
            const View line = html_[l];
            const View run = line.substr(i, OnParsing ? 1 : npos);
            if (!inTag) {
                const std::size_t open = run.find(u'<');
                text.append(run.substr(0, open));
                if (open == npos) {
                    i += run.size();
                    continue;
                }
                i += open + 1;
                if (!text.empty()) {
                    handleText(text);
                    text.clear();
                }
                inTag = true;
                tag.assign(1, u'<');
                tagStart = 1;
            } else {
                const std::size_t close = run.find(u'>');
                const View part = run.substr(0, close);
                if (const std::size_t lt = part.rfind(u'<'); lt != npos)
                    tagStart = tag.size() + lt + 1;
                tag.append(part);
                if (close == npos) {
                    i += run.size();
                    continue;
                }
                i += close + 1;
                handleTag(View(tag).substr(tagStart));
                inTag = false;
                tag.clear();
            }
        }
    }
    // Text after the last tag and an unclosed tag are dropped.
}

void THTMLParser::handleText(const std::u16string& text) {
    if (titleMode_)
        titleText_ = text;
    else if (OnFoundText)
        OnFoundText(*this, text);
}

void THTMLParser::handleTag(View tag) {
    if (titleMode_ && findNoCase(tag, u"/TITLE") == npos) {
        titleText_ += u'<';
        titleText_ += tag;
        titleText_ += u'>';
        return;
    }
    if (!contains(tag, u"!--") && OnFoundTag)
        OnFoundTag(*this, std::u16string(tag));

    // Only a space ends the name; a tab or a joined line break does not.
    const View name = tag.substr(0, tag.find(u' '));
    if (equalsNoCase(name, u"A") || equalsNoCase(name, u"LINK")) {
        handleLink(tag);
    } else if (equalsNoCase(name, u"SCRIPT")) {
        parsed_.Java.Local.push_back(attributeValue(tag, u"SRC"));
        addLanguage(attributeValue(tag, u"LANGUAGE"));
    } else if (equalsNoCase(name, u"IMG")) {
        parsed_.Images.push_back(attributeValue(tag, u"SRC"));
    } else if (equalsNoCase(name, u"FRAME")) {
        parsed_.FramePages.push_back(attributeValue(tag, u"SRC"));
    } else if (equalsNoCase(name, u"META")) {
        const std::u16string kind = upper(attributeValue(tag, u"NAME"));
        if (kind == u"KEYWORD")
            parsed_.Keyword = attributeValue(tag, u"CONTENT");
        else if (kind == u"DESCRIPTION")
            parsed_.Description = attributeValue(tag, u"CONTENT");
    } else if (name == u"!--") {
        // The comment is written "!-- text --": drop the opener and its space,
        // and the space and two hyphens before the end.
        if (OnFoundComment)
            OnFoundComment(*this, tag.size() > 7 ? std::u16string(tag.substr(4, tag.size() - 7))
                                                 : std::u16string());
    } else if (equalsNoCase(name, u"TITLE")) {
        titleMode_ = true;
    } else if (equalsNoCase(name, u"/TITLE")) {
        titleMode_ = false;
        parsed_.Title = std::move(titleText_);
        titleText_.clear();
    }
}

void THTMLParser::handleLink(View tag) {
    const std::u16string url = attributeValue(tag, u"HREF");
    const std::u16string key = upper(url);
    const bool remote = contains(key, u"HTTP://");

    if (TLocalRemote* group = groupOf(parsed_, extensionOf(key)))
        (remote ? group->Remote : group->Local).push_back(url);

    if (contains(key, u"MAILTO:"))
        parsed_.EMails.push_back(url.substr(std::min<std::size_t>(7, url.size())));
    else if (contains(key, u"FTP://"))
        parsed_.FTPlinks.push_back(url);
    else if (remote)
        parsed_.HTTPlinks.push_back(url);
    else if (!contains(key, u"://"))
        parsed_.Locallinks.push_back(url);
    else if (OnFoundHyperlink)
        OnFoundHyperlink(*this, url);

    parsed_.Hyperlinks.push_back(url);
}

void THTMLParser::addLanguage(std::u16string language) {
    if (language.empty() || languages_.contains(language))
        return;
    languages_.insert(language);
    parsed_.Language.push_back(std::move(language));
}
