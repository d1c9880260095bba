#pragma once
// A small, forgiving HTML scanner. It walks a page character by character,
// splits it into text runs and tags and collects what the tags point to:
// hyperlinks sorted by kind and by file type, the page title and two META
// values. It builds no tree, decodes no character references and accepts any
// text. Only ASCII characters carry meaning; every other character passes
// through untouched and is never upper-cased.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

using THtmlLines = std::vector<std::u16string>;

// Links of one file type, split by whether they name a web address.
struct TLocalRemote {
    THtmlLines Local;  // upper-cased text does not contain "HTTP://"
    THtmlLines Remote; // upper-cased text contains "HTTP://"
};

// What a parse found. Lists keep page order and keep duplicates.
struct TParsed {
    THtmlLines Hyperlinks;
    THtmlLines Images;
    THtmlLines Language;
    THtmlLines EMails;
    THtmlLines HTTPlinks;
    THtmlLines FTPlinks;
    THtmlLines Locallinks;
    THtmlLines FramePages;
    // Every link of HTTPlinks and every "https://" link that reached no other
    // kind list, in page order: the links a capture takes.
    THtmlLines WebLinks;

    TLocalRemote HTML;
    TLocalRemote Image;
    TLocalRemote Media;
    TLocalRemote Java;
    TLocalRemote ActiveX;
    TLocalRemote ASP;
    TLocalRemote Style;
    TLocalRemote PHP;
    TLocalRemote PERL;

    std::u16string Title;
    std::u16string Keyword;
    std::u16string Description;
};

class THTMLParser {
public:
    using TOnParsing =
        std::function<void(THTMLParser& sender, std::size_t lines, std::size_t total)>;
    using TOnFoundHyperlink =
        std::function<void(THTMLParser& sender, const std::u16string& hyperlink)>;
    using TOnFoundTag = std::function<void(THTMLParser& sender, const std::u16string& tag)>;
    using TOnFoundText = std::function<void(THTMLParser& sender, const std::u16string& text)>;
    using TOnFoundComment = std::function<void(THTMLParser& sender, const std::u16string& comment)>;

    THTMLParser() = default;
    THTMLParser(const THTMLParser&) = delete;
    THTMLParser& operator=(const THTMLParser&) = delete;

    // The page, one entry per line; callers may fill it directly.
    THtmlLines& HTML() { return html_; }
    const THtmlLines& HTML() const { return html_; }
    // Replaces the page by a copy of the given lines.
    void setHTML(const THtmlLines& lines) { html_ = lines; }
    // Replaces the page by the text, split into lines at CR, LF or CR LF.
    // A break at the very end does not start another line.
    void loadFromBuffer(std::u16string_view text);

    const TParsed& Parsed() const { return parsed_; }

    // Parses the current page into Parsed, raising the events from inside the
    // call. The link lists are emptied first; Language, the file-type groups,
    // Title, Keyword, Description and an open title carry over from earlier
    // parses until the page overwrites them.
    void Parse();

    // Events, raised only when assigned. The handlers may read the parser.
    TOnFoundComment OnFoundComment;
    TOnFoundHyperlink OnFoundHyperlink;
    TOnFoundTag OnFoundTag;
    TOnFoundText OnFoundText;
    TOnParsing OnParsing; // once for every character examined

private:
    void handleText(const std::u16string& text);
    void handleTag(std::u16string_view tag);
    void handleLink(std::u16string_view tag);
    void addLanguage(std::u16string language);

    THtmlLines html_;
    TParsed parsed_;
    // Fast duplicate check for Parsed.Language, which only this class writes.
    std::unordered_set<std::u16string> languages_;

    // A title that a page opens and never closes stays open into the next
    // parse: until a tag containing "/TITLE" arrives, tags only extend the
    // title text.
    bool titleMode_ = false;
    std::u16string titleText_;
};
