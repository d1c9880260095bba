#include "capture/HtmlParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::u16string u16(const std::string& utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = utf8[i];
        char32_t cp = c;
        int extra = 0;
        if (c >= 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        }
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::vector<std::string> utf8(const THtmlLines& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines)
        out.push_back(utf8(line));
    return out;
}

THtmlLines lines(std::initializer_list<const char*> texts) {
    THtmlLines out;
    for (const char* t : texts)
        out.push_back(u16(t));
    return out;
}

// Every non-empty result field as `Name=[a|b]`, in declaration order, so a
// case states everything the page produced and nothing else.
std::string dump(const TParsed& p) {
    std::string out;
    auto list = [&](const char* name, const THtmlLines& l) {
        if (l.empty())
            return;
        out += out.empty() ? "" : " ";
        out += std::string(name) + "=[";
        for (std::size_t i = 0; i < l.size(); ++i)
            out += (i ? "|" : "") + utf8(l[i]);
        out += "]";
    };
    auto group = [&](const std::string& name, const TLocalRemote& g) {
        list((name + ".Local").c_str(), g.Local);
        list((name + ".Remote").c_str(), g.Remote);
    };
    auto text = [&](const char* name, const std::u16string& t) {
        if (!t.empty())
            out += (out.empty() ? "" : " ") + std::string(name) + "=\"" + utf8(t) + "\"";
    };
    list("Hyperlinks", p.Hyperlinks);
    list("Images", p.Images);
    list("Language", p.Language);
    list("EMails", p.EMails);
    list("HTTPlinks", p.HTTPlinks);
    list("FTPlinks", p.FTPlinks);
    list("Locallinks", p.Locallinks);
    list("FramePages", p.FramePages);
    group("HTML", p.HTML);
    group("Image", p.Image);
    group("Media", p.Media);
    group("Java", p.Java);
    group("ActiveX", p.ActiveX);
    group("ASP", p.ASP);
    group("Style", p.Style);
    group("PHP", p.PHP);
    group("PERL", p.PERL);
    text("Title", p.Title);
    text("Keyword", p.Keyword);
    text("Description", p.Description);
    return out;
}

std::string parseOnce(const std::string& page) {
    THTMLParser parser;
    parser.loadFromBuffer(u16(page));
    parser.Parse();
    return dump(parser.Parsed());
}

struct PageCase {
    const char* name;
    const char* page;
    const char* expected;
};

void PrintTo(const PageCase& c, std::ostream* os) {
    *os << c.page;
}

class HtmlPage : public ::testing::TestWithParam<PageCase> {};

TEST_P(HtmlPage, FillsExactlyTheseLists) {
    EXPECT_EQ(parseOnce(GetParam().page), GetParam().expected);
}

const PageCase pageCases[] = {
    {"AbsoluteWebPage", R"(<a href="http://example.com/news.html">News</a>)",
     "Hyperlinks=[http://example.com/news.html] HTTPlinks=[http://example.com/news.html] "
     "HTML.Remote=[http://example.com/news.html]"},
    {"UpperCaseRelativePage", R"(<A HREF="stories/today.htm">Today</A>)",
     "Hyperlinks=[stories/today.htm] Locallinks=[stories/today.htm] "
     "HTML.Local=[stories/today.htm]"},
    {"HttpsReachesOnlyHyperlinks", R"(<a href="https://example.com/a.zip">x</a>)",
     "Hyperlinks=[https://example.com/a.zip]"},
    {"MailtoDropsSchemeForEMails", R"(<a href="mailto:ann@example.com">Ann</a>)",
     "Hyperlinks=[mailto:ann@example.com] EMails=[ann@example.com]"},
    {"QueryHoldingAddressIsWebLink", R"(<a href="go.php?to=http://example.com/a.htm">go</a>)",
     "Hyperlinks=[go.php?to=http://example.com/a.htm] "
     "HTTPlinks=[go.php?to=http://example.com/a.htm] "
     "HTML.Remote=[go.php?to=http://example.com/a.htm]"},
    {"SameLinkTwiceIsStoredTwice",
     R"(<a href="http://e.com/x.htm">1</a><a href="http://e.com/x.htm">2</a>)",
     "Hyperlinks=[http://e.com/x.htm|http://e.com/x.htm] "
     "HTTPlinks=[http://e.com/x.htm|http://e.com/x.htm] "
     "HTML.Remote=[http://e.com/x.htm|http://e.com/x.htm]"},
    {"SingleQuotesAreKept", R"(<a href='page.htm'>x</a>)",
     "Hyperlinks=['page.htm'] Locallinks=['page.htm'] HTML.Local=['page.htm']"},
    {"UnquotedLastValueKeepsLastCharacter", "<a href=page.htm>x</a>",
     "Hyperlinks=[page.htm] Locallinks=[page.htm] HTML.Local=[page.htm]"},
    {"UnquotedValueKeepsItsEndingSpace", "<a href=page.htm target=_top>x</a>",
     "Hyperlinks=[page.htm ] Locallinks=[page.htm ] HTML.Local=[page.htm ]"},
    {"QuotedValueKeepsInnerSpaces", R"(<a href="my page.htm" class="c">x</a>)",
     "Hyperlinks=[my page.htm] Locallinks=[my page.htm] HTML.Local=[my page.htm]"},
    {"AttributeNameMatchesInsideAnotherName", R"(<a data-href="first.htm" href="second.htm">)",
     "Hyperlinks=[first.htm] Locallinks=[first.htm] HTML.Local=[first.htm]"},
    {"MissingHrefGivesEmptyEntry", R"(<a name="top">)", "Hyperlinks=[] Locallinks=[]"},
    {"SecondOpenerRestartsTag", R"(<b <a href="x.htm">)",
     "Hyperlinks=[x.htm] Locallinks=[x.htm] HTML.Local=[x.htm]"},
    {"GreaterThanInValueEndsTag", R"(<a href="a>b.htm">)", "Hyperlinks=[a] Locallinks=[a]"},
    {"TabDoesNotEndTagName", "<a\thref=\"x.htm\">", ""},
    {"LeadingSpaceIsNoTagName", R"(< a href="x.htm">)", ""},
    {"UnclosedTagIsDropped", R"(<p>Hello <a href="http://e.com/x.htm")", ""},
    {"LinkTagFeedsGroups", R"(<link rel="stylesheet" href="site.css">)",
     "Hyperlinks=[site.css] Locallinks=[site.css] Style.Local=[site.css]"},
    {"FtpLink", R"(<a href="FTP://files.example.com/pub/x.cab">)",
     "Hyperlinks=[FTP://files.example.com/pub/x.cab] "
     "FTPlinks=[FTP://files.example.com/pub/x.cab] "
     "ActiveX.Local=[FTP://files.example.com/pub/x.cab]"},
    {"OtherSchemeReachesOnlyHyperlinks", R"(<a href="news://example.com/group">)",
     "Hyperlinks=[news://example.com/group]"},
    {"SchemeWithoutSlashesIsLocal", R"x(<a href="javascript:go()">)x",
     "Hyperlinks=[javascript:go()] Locallinks=[javascript:go()]"},
    {"ImageAndFrameSources", R"(<img src="logo.png"><IMG alt="none"><frame src="menu.htm">)",
     "Images=[logo.png|] FramePages=[menu.htm]"},
    {"ScriptWithoutSourceAddsEmptyJavaEntry", "<script>", "Java.Local=[]"},
    {"ScriptLanguagesAreDistinctAndCaseSensitive",
     R"(<script src="http://e.com/a.js" language="JavaScript"><script language="javascript">)"
     R"(<SCRIPT LANGUAGE="JavaScript">)",
     "Language=[JavaScript|javascript] Java.Local=[http://e.com/a.js||]"},
    {"MetaKeywordAndDescription",
     R"(<meta name="KEYWORDS" content="plural"><meta name="keyword" content="news, rss">)"
     R"(<META NAME="Description" CONTENT="A page">)",
     R"(Keyword="news, rss" Description="A page")"},
    {"TitleIsLastTextRunPlusFollowingTags", "<title>My <b>bold</b> page</title>",
     R"(Title=" page")"},
    {"TitleWithBoldRunAtItsEnd", "<title>Top <b>Story</b></title>", R"(Title="Story</b>")"},
    {"LinksInsideTitleAreNotCollected", R"(<title><a href="http://e.com/x.htm">x</a></title>)",
     R"(Title="x</a>")"},
    {"TagContainingEndTitleInsideTitleIsHandled",
     R"(<title><a href="http://e.com/title/x.htm">x</a>)",
     "Hyperlinks=[http://e.com/title/x.htm] HTTPlinks=[http://e.com/title/x.htm] "
     "HTML.Remote=[http://e.com/title/x.htm]"},
    {"StrayEndTitle", "</title>", ""},
    {"LinesJoinWithNothingBetween", "<a href=\"http://exa\r\nmple.com/a.htm\">",
     "Hyperlinks=[http://example.com/a.htm] HTTPlinks=[http://example.com/a.htm] "
     "HTML.Remote=[http://example.com/a.htm]"},
    {"BreakAfterTagNameHidesTheTag", "<a\nhref=\"http://example.com/a.htm\">", ""},
    {"NonAsciiLettersAreNeverUpperCased",
     "<\u0131mg src=\"x.png\"><\u017fcript src=\"a.js\"><a href=\"http://e.com/\u00e7a.htm\">",
     "Hyperlinks=[http://e.com/\u00e7a.htm] HTTPlinks=[http://e.com/\u00e7a.htm] "
     "HTML.Remote=[http://e.com/\u00e7a.htm]"},
    {"CharactersBeyondTheBasicPlanePassThrough", "<a href=\"\U0001F600.htm\">",
     "Hyperlinks=[\U0001F600.htm] Locallinks=[\U0001F600.htm] HTML.Local=[\U0001F600.htm]"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HtmlPage, ::testing::ValuesIn(pageCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct GroupCase {
    const char* link;
    const char* expected;
};

void PrintTo(const GroupCase& c, std::ostream* os) {
    *os << c.link;
}

class LinkGroup : public ::testing::TestWithParam<GroupCase> {};

// The group a local link lands in, or "" for none.
std::string groupOfLink(const std::string& link) {
    THTMLParser parser;
    parser.loadFromBuffer(u16("<a href=\"" + link + "\">"));
    parser.Parse();
    const TParsed& p = parser.Parsed();
    const std::pair<const char*, const TLocalRemote*> groups[] = {
        {"HTML", &p.HTML},   {"Image", &p.Image},     {"Media", &p.Media},
        {"Java", &p.Java},   {"ActiveX", &p.ActiveX}, {"ASP", &p.ASP},
        {"Style", &p.Style}, {"PHP", &p.PHP},         {"PERL", &p.PERL}};
    std::string found;
    for (const auto& [name, group] : groups)
        if (!group->Local.empty() || !group->Remote.empty())
            found += name;
    return found;
}

TEST_P(LinkGroup, ByExtension) {
    EXPECT_EQ(groupOfLink(GetParam().link), GetParam().expected);
}

const GroupCase groupCases[] = {
    {"a.shtml", "HTML"},
    {"a.jpg", "Image"},
    {"a.JPEG", "Image"},
    {"a.gif", "Image"},
    {"a.tif", "Image"},
    {"a.pcx", "Image"},
    {"a.png", "Image"},
    {"a.bmp", "Image"},
    {"a.avi", "Media"},
    {"a.mp3", "Media"},
    {"a.au", "Media"},
    {"a.mov", "Media"},
    {"a.mpg", "Media"},
    {"a.mpeg", "Media"},
    {"a.js", "Java"},
    {"a.class", "Java"},
    {"a.java", "Java"},
    {"a.asp", "ASP"},
    {"a.css", "Style"},
    {"a.pl", "PERL"},
    {"a.cgi", "PERL"},
    {"a.php3", "PHP"},
    {"a.cab", "ActiveX"},
    {"a.zip", ""},
    {"a.jpgx", ""},
    {"dir/", ""},
    {"dir.d/file", ""},
    {"index.php?id=3", "PHP"},
    {"list?page.htm", ""},
    {"a.htm\\b", ""},
    {"a.htm:1", ""},
    {"a.php?x=1/b", ""},
    {"http://e.com", ""},
    {"http://e.com/a.b/c.gif", "Image"},
    {"mailto:a@b.htm", "HTML"},
};

INSTANTIATE_TEST_SUITE_P(Extensions, LinkGroup, ::testing::ValuesIn(groupCases));

TEST(HtmlParserLinks, LinkGroupFollowsRemoteTest) {
    THTMLParser parser;
    parser.loadFromBuffer(u16(R"(<a href="HTTP://E.COM/A.GIF"><a href="img/b.gif">)"));
    parser.Parse();
    EXPECT_THAT(utf8(parser.Parsed().Image.Remote), ElementsAre("HTTP://E.COM/A.GIF"));
    EXPECT_THAT(utf8(parser.Parsed().Image.Local), ElementsAre("img/b.gif"));
}

// Records every event in the order it was raised.
class HtmlParserEvents : public ::testing::Test {
protected:
    void SetUp() override {
        parser.OnFoundTag = [this](THTMLParser& s, const std::u16string& t) {
            record(s, "tag:" + utf8(t));
        };
        parser.OnFoundText = [this](THTMLParser& s, const std::u16string& t) {
            record(s, "text:" + utf8(t));
        };
        parser.OnFoundComment = [this](THTMLParser& s, const std::u16string& t) {
            record(s, "comment:" + utf8(t));
        };
        parser.OnFoundHyperlink = [this](THTMLParser& s, const std::u16string& t) {
            record(s, "link:" + utf8(t));
        };
    }
    void record(THTMLParser& sender, std::string event) {
        EXPECT_EQ(&sender, &parser);
        events.push_back(std::move(event));
    }
    std::vector<std::string> parse(const std::string& page) {
        events.clear();
        parser.loadFromBuffer(u16(page));
        parser.Parse();
        return events;
    }

    THTMLParser parser;
    std::vector<std::string> events;
};

TEST_F(HtmlParserEvents, TagsAndTextAsWritten) {
    EXPECT_THAT(parse("<P Class=x>Hello <b>world</b> after"),
                ElementsAre("tag:P Class=x", "text:Hello ", "tag:b", "text:world", "tag:/b"));
}

TEST_F(HtmlParserEvents, CommentWithSpacesRaisesOnlyComment) {
    EXPECT_THAT(parse("<!-- a note -->"), ElementsAre("comment:a note"));
    EXPECT_THAT(parse("<!--tight-->"), IsEmpty());
    EXPECT_THAT(parse("<!-- -->"), ElementsAre("comment:"));
}

TEST_F(HtmlParserEvents, OtherSchemeReachesHyperlinkEvent) {
    EXPECT_THAT(parse(R"(<a href="https://e.com/">s</a><a href="http://e.com/">h</a>)"),
                ElementsAre(R"(tag:a href="https://e.com/")", "link:https://e.com/", "text:s",
                            "tag:/a", R"(tag:a href="http://e.com/")", "text:h", "tag:/a"));
}

TEST_F(HtmlParserEvents, TitleSwallowsTextAndTags) {
    EXPECT_THAT(parse("<title>Name <i>x</i></title><p>Body</p>"),
                ElementsAre("tag:title", "tag:/title", "tag:p", "text:Body", "tag:/p"));
    EXPECT_EQ(utf8(parser.Parsed().Title), "x</i>");
}

TEST_F(HtmlParserEvents, TextRunsOnAcrossLines) {
    EXPECT_THAT(parse("<p>one\r\ntwo\nthree</p>"),
                ElementsAre("tag:p", "text:onetwothree", "tag:/p"));
}

TEST(HtmlParserProgress, OncePerCharacterWithLineNumberAndTotal) {
    THTMLParser parser;
    parser.setHTML(lines({"<a>", "", "xy"}));
    std::vector<std::pair<std::size_t, std::size_t>> calls;
    parser.OnParsing = [&](THTMLParser&, std::size_t line, std::size_t total) {
        calls.emplace_back(line, total);
    };
    parser.Parse();
    using P = std::pair<std::size_t, std::size_t>;
    EXPECT_THAT(calls, ElementsAre(P{1, 3}, P{1, 3}, P{1, 3}, P{3, 3}, P{3, 3}));
}

TEST(HtmlParserProgress, StepwiseParseMatchesRunwiseParse) {
    const std::string page = "<html><title>T <b>x</b></title><a href=\"http://e.com/a.htm\">"
                             "A</a><script language=JS src=s.js><b <a href=x.gif>\r\n"
                             "<img\r\nsrc=y.png><meta name=keyword content=k></html>tail";
    THTMLParser stepwise;
    stepwise.OnParsing = [](THTMLParser&, std::size_t, std::size_t) {};
    stepwise.loadFromBuffer(u16(page));
    stepwise.Parse();
    EXPECT_EQ(dump(stepwise.Parsed()), parseOnce(page));
}

TEST(HtmlParserProgress, HandlerMayEmptyThePage) {
    THTMLParser parser;
    parser.setHTML(lines({"<a href=\"x.htm\">", "<img src=\"y.png\">"}));
    parser.OnParsing = [](THTMLParser& sender, std::size_t, std::size_t) { sender.HTML().clear(); };
    parser.Parse();
    EXPECT_EQ(dump(parser.Parsed()), "");
}

// What one parse leaves for the next.
class HtmlParserState : public ::testing::Test {
protected:
    std::string parse(const std::string& page) {
        parser.loadFromBuffer(u16(page));
        parser.Parse();
        return dump(parser.Parsed());
    }
    THTMLParser parser;
};

TEST_F(HtmlParserState, SecondPageKeepsGroupsLanguageAndTexts) {
    parse(R"(<title>First</title><meta name="keyword" content="k1">)"
          R"(<meta name="description" content="d1"><script language="JS">)"
          R"(<a href="http://e.com/a.htm"><img src="i.png"><frame src="f.htm">)"
          R"(<a href="mailto:x@e.com"><a href="ftp://e.com/f"><a href="l.htm">)");
    EXPECT_EQ(parse(R"(<meta name="keyword" content="k2"><a href="b.css">)"),
              "Hyperlinks=[b.css] Language=[JS] Locallinks=[b.css] "
              "HTML.Local=[l.htm] HTML.Remote=[http://e.com/a.htm] Java.Local=[] "
              "Style.Local=[b.css] "
              R"(Title="First" Keyword="k2" Description="d1")");
}

TEST_F(HtmlParserState, LanguageStaysDistinctAcrossPages) {
    parse(R"(<script language="JS">)");
    parse(R"(<script language="JS"><script language="VB">)");
    EXPECT_THAT(utf8(parser.Parsed().Language), ElementsAre("JS", "VB"));
}

TEST_F(HtmlParserState, UnclosedTitleHoldsNextPageUntilItCloses) {
    EXPECT_EQ(parse("<title>Never closed"), "");
    EXPECT_EQ(parse(R"(<a href="http://e.com/x.htm">Link</a></title>)"
                    R"(<a href="http://e.com/y.htm">)"),
              "Hyperlinks=[http://e.com/y.htm] HTTPlinks=[http://e.com/y.htm] "
              "HTML.Remote=[http://e.com/y.htm] "
              R"(Title="Link</a>")");
}

TEST_F(HtmlParserState, TitleTextCarriesIntoNextPage) {
    parse("<title>Open");
    parse("<b>");
    EXPECT_EQ(parse("</title>"), R"(Title="<b>")");
    EXPECT_EQ(parse("</title>"), "");
}

TEST(HtmlParserLines, AssigningCopiesTheList) {
    THTMLParser parser;
    THtmlLines page = lines({"<a href=\"a.htm\">"});
    parser.setHTML(page);
    page[0] = u"changed";
    page.push_back(u"more");
    EXPECT_THAT(utf8(parser.HTML()), ElementsAre("<a href=\"a.htm\">"));
    parser.setHTML(parser.HTML());
    EXPECT_THAT(utf8(parser.HTML()), ElementsAre("<a href=\"a.htm\">"));
}

struct SplitCase {
    const char* text;
    std::vector<std::string> expected;
};

class HtmlParserLoad : public ::testing::TestWithParam<SplitCase> {};

TEST_P(HtmlParserLoad, SplitsAtEachKindOfBreak) {
    THTMLParser parser;
    parser.setHTML(lines({"old"}));
    parser.loadFromBuffer(u16(GetParam().text));
    EXPECT_EQ(utf8(parser.HTML()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Breaks, HtmlParserLoad,
                         ::testing::Values(SplitCase{"", {}}, SplitCase{"one", {"one"}},
                                           SplitCase{"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
                                           SplitCase{"a\r\n", {"a"}}, SplitCase{"\r\n", {""}},
                                           SplitCase{"\n\r", {"", ""}},
                                           SplitCase{"a\r\r\nb", {"a", "", "b"}},
                                           SplitCase{"a\n\nb\n", {"a", "", "b"}}));

// Inputs kept from fuzzing, decoded the way the fuzz target decodes them:
// an even first byte means one character per byte, an odd one UTF-16LE.
std::u16string fuzzText(const std::string& bytes) {
    std::u16string text;
    if (bytes.empty())
        return text;
    if (static_cast<unsigned char>(bytes[0]) % 2 == 0) {
        for (std::size_t i = 1; i < bytes.size(); ++i)
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
    } else {
        for (std::size_t i = 1; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
}

TEST(HtmlParserFuzzInputs, ParseWithoutFault) {
    const std::filesystem::path dir =
        std::filesystem::path(QUILLO_TEST_DATA) / "capture" / "html_parser";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        THTMLParser stepwise;
        stepwise.OnParsing = [](THTMLParser&, std::size_t, std::size_t) {};
        THTMLParser runwise;
        for (THTMLParser* parser : {&stepwise, &runwise}) {
            parser->loadFromBuffer(fuzzText(bytes));
            parser->Parse();
            parser->Parse();
        }
        EXPECT_EQ(dump(stepwise.Parsed()), dump(runwise.Parsed())) << entry.path();
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

} // namespace
