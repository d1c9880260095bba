#include "capture/CaptureHeadlines.h"
#include "capture/HtmlParser.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <ostream>
#include <random>
#include <string>
#include <vector>

void PrintTo(const TCapturedTopic& t, std::ostream* os) {
    *os << "(\"" << t.Headline.toStdString() << "\", \"" << t.Link.toStdString() << "\", \""
        << t.Synopsis.toStdString() << "\")";
}

namespace {

const QString pageAddress = QStringLiteral("http://site.test/news/index.html");

// The links the real parser collects from the page, as the capture gets them.
THtmlLines webLinksOf(const QString& page) {
    THTMLParser parser;
    parser.loadFromBuffer(page.toStdU16String());
    parser.Parse();
    return parser.Parsed().WebLinks;
}

TCapturedTopics basic(const QString& page) {
    return basicHeadlines(page, webLinksOf(page), pageAddress);
}

struct TextCase {
    const char* name;
    const char* text; // UTF-8
    const char* expected;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class CaptureTrimDoubleSpace : public ::testing::TestWithParam<TextCase> {};

TEST_P(CaptureTrimDoubleSpace, DropsControlsAndEverySecondSpace) {
    EXPECT_EQ(TrimDoubleSpace(QString::fromUtf8(GetParam().text)),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureTrimDoubleSpace,
    ::testing::Values(
        TextCase{"Plain", "Top story", "Top story"}, TextCase{"TwoSpacesBecomeOne", "a  b", "a b"},
        TextCase{"ThreeBecomeTwo", "a   b", "a  b"}, TextCase{"FourBecomeTwo", "a    b", "a  b"},
        TextCase{"FiveBecomeThree", "a     b", "a   b"},
        TextCase{"EndsAreNotTrimmed", "  a ", " a "},
        TextCase{"LineBreaksAndTabsDropped", "one\r\ntwo\tthree", "onetwothree"},
        TextCase{"DroppedControlKeepsSpacesApart", "a \t b", "a  b"},
        TextCase{"DeleteAndC1ControlsDropped",
                 "a\x7F\xC2\x80\xC2\x9F"
                 "b",
                 "ab"},
        TextCase{"AccentedLettersStay", "Café déjà vu", "Café déjà vu"},
        TextCase{"NoBreakSpaceStays",
                 "a\xC2\xA0"
                 "b",
                 "a\xC2\xA0"
                 "b"},
        TextCase{"CharacterReferencesStayAsWritten", "Caf&eacute; &amp; more",
                 "Caf&eacute; &amp; more"},
        TextCase{"BeyondTheBasicPlaneStays", "Hi \xF0\x9F\x99\x82", "Hi \xF0\x9F\x99\x82"},
        TextCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

class CaptureBaseUrl : public ::testing::TestWithParam<TextCase> {};

TEST_P(CaptureBaseUrl, CutsAtTheLastSlashFromTheTenthCharacter) {
    EXPECT_EQ(GetBaseURL(QString::fromUtf8(GetParam().text)),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureBaseUrl,
    ::testing::Values(
        TextCase{"PageInDirectory", "http://site.test/news/index.html", "http://site.test/news"},
        TextCase{"DirectoryWithSlash", "http://site.test/news/", "http://site.test/news"},
        TextCase{"BareSite", "http://site.test", "http://site.test"},
        TextCase{"BareSiteWithSlash", "http://site.test/", "http://site.test"},
        TextCase{"SlashAtTheTenthCharacter", "http://ab/", "http://ab"},
        TextCase{"SlashBeforeTheTenthCharacter", "http://a/", "http://a/"},
        TextCase{"SecureSite", "https://site.test/a/b.html", "https://site.test/a"},
        TextCase{"NoSlashAtAll", "site.test", "site.test"},
        TextCase{
            "CharactersNotUnits",
            "\xF0\x9F\x99\x82\xF0\x9F\x99\x82\xF0\x9F\x99\x82"
            "\xF0\x9F\x99\x82\xF0\x9F\x99\x82/x",
            "\xF0\x9F\x99\x82\xF0\x9F\x99\x82\xF0\x9F\x99\x82\xF0\x9F\x99\x82\xF0\x9F\x99\x82/x"},
        TextCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct ModeCase {
    const char* name;
    const char* page; // UTF-8
    std::vector<TCapturedTopic> expected;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.page;
}

TCapturedTopic topic(const char* headline, const char* link, const char* synopsis = "") {
    return {QString::fromUtf8(headline), QString::fromUtf8(link), QString::fromUtf8(synopsis)};
}

std::vector<TCapturedTopic> asVector(const TCapturedTopics& topics) {
    return {topics.begin(), topics.end()};
}

class CaptureBasicMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(CaptureBasicMode, MakesATopicOfEveryAbsoluteLinkWithText) {
    EXPECT_EQ(asVector(basic(QString::fromUtf8(GetParam().page))), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureBasicMode,
    ::testing::Values(
        ModeCase{"AbsoluteLink",
                 R"(<p><a href="http://e.test/a.html">First story</a></p>)",
                 {topic("First story", "http://e.test/a.html")}},
        ModeCase{"PageOrder",
                 R"(<a href="http://e.test/1">One one</a> <a href="http://e.test/2">Two two</a>)",
                 {topic("One one", "http://e.test/1"), topic("Two two", "http://e.test/2")}},
        ModeCase{"TextAfterTheFirstOccurrence",
                 R"(<p>Quoted http://e.test/p">Earlier text</p><a href="http://e.test/p">Own</a>)",
                 {topic("Earlier text", "http://e.test/p")}},
        ModeCase{
            "LinksOfManyLengthsAndShapes",
            R"(<a href="http://e.test/long/path/page.html">Long one</a>)"
            R"(<a href="http://e.test/">Short one</a><a href="http://e.test/long">Prefix one</a>)"
            R"(<a href="https://e.test/">Secure one</a><a href="http://e.test/">Short again</a>)",
            // A link is looked for where it first occurs, here inside a longer one.
            {topic("Long one", "http://e.test/long/path/page.html"),
             topic("Long one", "http://e.test/"), topic("Long one", "http://e.test/long"),
             topic("Secure one", "https://e.test/"), topic("Long one", "http://e.test/")}},
        ModeCase{"RelativeLinkIgnored", R"(<a href="story.html">Relative</a>)", {}},
        ModeCase{"SecureLinkTaken",
                 R"(<a href="https://e.test/s">Secure story</a>)",
                 {topic("Secure story", "https://e.test/s")}},
        ModeCase{"CapitalSchemeGetsTheBase",
                 R"(<a href="HTTP://E.TEST/C">Capitals</a>)",
                 {topic("Capitals", "http://site.test/news/HTTP://E.TEST/C")}},
        ModeCase{"CapitalSecureSchemeGetsTheBase",
                 R"(<a href="HTTPS://E.TEST/C">Capitals</a>)",
                 {topic("Capitals", "http://site.test/news/HTTPS://E.TEST/C")}},
        ModeCase{"AnchorStartingWithATag",
                 R"(<a href="http://e.test/i"><img src="p.png">Picture</a>)",
                 {}},
        ModeCase{"OneCharacterHeadline", R"(<a href="http://e.test/1">X</a>)", {}},
        ModeCase{"OneCharacterBeyondTheBasicPlane",
                 "<a href=\"http://e.test/1\">\xF0\x9F\x99\x82</a>",
                 {}},
        ModeCase{"TwoCharacters",
                 R"(<a href="http://e.test/2">XY</a>)",
                 {topic("XY", "http://e.test/2")}},
        ModeCase{"SameLinkTwiceTakesTheFirstText",
                 R"(<a href="http://e.test/d">First</a> <a href="http://e.test/d">Second</a>)",
                 {topic("First", "http://e.test/d"), topic("First", "http://e.test/d")}},
        ModeCase{"AccentedLettersStay",
                 R"(<a href="http://e.test/c">Café à la une</a>)",
                 {topic("Café à la une", "http://e.test/c")}},
        ModeCase{"CharacterReferencesStay",
                 R"(<a href="http://e.test/r">Caf&eacute;</a>)",
                 {topic("Caf&eacute;", "http://e.test/r")}},
        ModeCase{"SpacesAndBreaksCleaned",
                 "<a href=\"http://e.test/s\">\r\n  Spaced   out\ttext </a>",
                 {topic("Spaced outtext ", "http://e.test/s")}},
        ModeCase{"AttributeAfterTheLink",
                 R"(<a href="http://e.test/t" title="x">Titled</a> more)",
                 {topic("Titled", "http://e.test/t")}},
        ModeCase{
            "TextBeyondTheWindow",
            "<a href=\"http://e.test/far\" title=\""
            "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
            "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
            "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
            "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
            "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
            "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
            "xxxxxxxxxxxxxxxxxx\">Far</a>",
            {}},
        ModeCase{"MailFtpAndOtherSchemesIgnored",
                 R"(<a href="mailto:a@e.test">Mail me</a><a href="ftp://e.test/f">Files</a>)"
                 R"(<a href="news://e.test/g">News</a>)",
                 {}},
        ModeCase{"LinkTagFollowedByTag",
                 R"(<link href="http://e.test/s.css" rel="stylesheet"><title>Page</title>)",
                 {}},
        ModeCase{"EmptyPage", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureBasicWindow, CountsCharactersNotCodeUnits) {
    // 300 characters beyond the basic plane are 600 code units: the "<" that
    // ends them still lies within the 500 characters after the link.
    QString smiles;
    for (int i = 0; i < 300; ++i)
        smiles += QString::fromUtf8("\xF0\x9F\x99\x82");
    const QString page =
        QStringLiteral("<a href=\"http://e.test/w\">") + smiles + QStringLiteral("</a>");
    EXPECT_EQ(asVector(basic(page)), (std::vector{TCapturedTopic{smiles, "http://e.test/w", {}}}));
}

TEST(CaptureBasicWindow, ALinkThePageDoesNotHoldAsWrittenIsLookedUpAtItsLength) {
    // The parser joins the lines of the href, so the page holds the link only
    // with its line break; its text is then looked for from the position its
    // length gives, counted from the start of the page (not from the start
    // itself, where the "<p>" would hide it).
    const QString page =
        QStringLiteral("<p>01234567890\">Found it<a href=\"http://e.test/\nx\">Own text</a>");
    const THtmlLines links = webLinksOf(page);
    ASSERT_EQ(links, THtmlLines{u"http://e.test/x"});
    EXPECT_EQ(asVector(basicHeadlines(page, links, pageAddress)),
              (std::vector{topic("Found it", "http://e.test/x")}));
}

class CaptureAdvancedMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(CaptureAdvancedMode, MakesATopicOfEveryAnchorOfTheHeadlineClass) {
    EXPECT_EQ(asVector(advancedHeadlines(QString::fromUtf8(GetParam().page), pageAddress,
                                         QStringLiteral("hl"), QStringLiteral("syn"))),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureAdvancedMode,
    ::testing::Values(
        ModeCase{
            "DivSynopses",
            R"(<a class="hl" href="http://e.test/1">One</a><div class="syn">First <b>text</b></div>)"
            R"(<a class="hl" href="http://e.test/2">Two</a><div class="syn">Second</div>)",
            {topic("One", "http://e.test/1", "First <b>text</b>"),
             topic("Two", "http://e.test/2", "Second")}},
        ModeCase{"SpanSynopsis",
                 "<a class=\"hl\" href=\"http://e.test/s\">Spanned</a>\n"
                 "<span class=\"syn\">Line one\nline two</span>",
                 {topic("Spanned", "http://e.test/s", "Line one\nline two")}},
        ModeCase{"NearerOfDivAndSpan",
                 R"(<a class="hl" href="http://e.test/n">Near</a><span class="syn">S</span>)"
                 R"(<div class="syn">D</div>)",
                 {topic("Near", "http://e.test/n", "S")}},
        ModeCase{"RelativeHref",
                 R"(<a class="hl" href="story.html">Relative</a>)",
                 {topic("Relative", "http://site.test/news/story.html")}},
        ModeCase{"NoHrefLinksToThePage",
                 R"(<a class="hl" name="x">No link</a>)",
                 {topic("No link", "http://site.test/news/index.html")}},
        ModeCase{"EmptyHrefLinksToThePage",
                 R"(<a class="hl" href="">Empty link</a>)",
                 {topic("Empty link", "http://site.test/news/index.html")}},
        ModeCase{"AnchorWithoutText",
                 R"(<a class="hl" href="http://e.test/e"></a>)",
                 {topic("", "http://e.test/e")}},
        ModeCase{"AnchorStartingWithATag",
                 R"(<a class="hl" href="http://e.test/b"><b>Bold</b></a>)",
                 {topic("<b>Bold", "http://e.test/b")}},
        ModeCase{"LineBreakInAnchorRemoved",
                 R"(<a class="hl" href="http://e.test/br">Line<BR/> two</a>)",
                 {topic("Line two", "http://e.test/br")}},
        ModeCase{"UpperCaseAnchorTags",
                 R"(<A class="hl" href="http://e.test/u">Upper</A>)",
                 {topic("Upper", "http://e.test/u")}},
        ModeCase{
            "UpperCaseAttributesNotMatched", R"(<a CLASS="hl" HREF="http://e.test/x">X</a>)", {}},
        ModeCase{"LongerClassNameCounts",
                 R"(<a class="hlx" href="http://e.test/l">Longer</a>)",
                 {topic("Longer", "http://e.test/l")}},
        ModeCase{"ClassListedSecondDoesNotCount",
                 R"(<a class="big hl" href="http://e.test/2">Second</a>)",
                 {}},
        ModeCase{
            "OtherAnchorsSkipped",
            R"(<a href="http://e.test/o">Other</a><a class="hl" href="http://e.test/h">Mine</a>)",
            {topic("Mine", "http://e.test/h")}},
        ModeCase{
            "SynopsisTakenByTheEarlierHeadline",
            R"(<a class="hl" href="http://e.test/1">One</a><a class="hl" href="http://e.test/2">)"
            R"(Two</a><div class="syn">Only</div>)",
            {topic("One", "http://e.test/1", "Only")}},
        ModeCase{"SynopsisWithoutClosingTag",
                 R"(<a class="hl" href="http://e.test/1">One</a><div class="syn">Never closed)",
                 {topic("One", "http://e.test/1")}},
        ModeCase{"AccentedTextStays",
                 R"(<a class="hl" href="http://e.test/c">Café</a><div class="syn">Déjà vu</div>)",
                 {topic("Café", "http://e.test/c", "Déjà vu")}},
        ModeCase{"ClassNameWithoutAnchor", "hl hl hl", {}},
        ModeCase{"AnchorNeverClosed", R"(<a class="hl" href="http://e.test/1">One)", {}},
        ModeCase{"EmptyPage", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureAdvancedClasses, SynopsisClassWithCapitalsNeverMatches) {
    const QString page = QStringLiteral(
        R"(<a class="hl" href="http://e.test/1">One</a><div class="Syn">Text</div>)");
    EXPECT_EQ(asVector(advancedHeadlines(page, pageAddress, "hl", "Syn")),
              (std::vector{topic("One", "http://e.test/1")}));
}

TEST(CaptureAdvancedClasses, SynopsisClassMustMatchInItsOwnCase) {
    const QString page = QStringLiteral(
        R"(<a class="hl" href="http://e.test/1">One</a><DIV CLASS="SYN">Text</DIV>)");
    EXPECT_EQ(asVector(advancedHeadlines(page, pageAddress, "hl", "syn")),
              (std::vector{topic("One", "http://e.test/1")}));
}

TEST(CaptureAdvancedClasses, EmptyHeadlineClassFindsNothing) {
    const QString page = QStringLiteral(R"(<a class="" href="http://e.test/1">One</a>)");
    EXPECT_TRUE(advancedHeadlines(page, pageAddress, "", "syn").isEmpty());
}

// Pages that stray from well-formed markup, each with the one result the rules give.
struct OddPageCase {
    const char* name;
    const char* page;
    std::vector<TCapturedTopic> basic;
    std::vector<TCapturedTopic> advanced; // classes "hl" and "syn"
};

void PrintTo(const OddPageCase& c, std::ostream* os) {
    *os << c.page;
}

class CaptureOddPage : public ::testing::TestWithParam<OddPageCase> {};

TEST_P(CaptureOddPage, GivesWhatTheRulesSay) {
    const QString page = QString::fromUtf8(GetParam().page);
    EXPECT_EQ(asVector(basic(page)), GetParam().basic);
    EXPECT_EQ(asVector(advancedHeadlines(page, pageAddress, "hl", "syn")), GetParam().advanced);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureOddPage,
    ::testing::Values(
        OddPageCase{"LoneLessThan", "<", {}, {}},
        OddPageCase{"OnlyClosingAnchors", "hl</a></a></a>", {}, {}},
        OddPageCase{"UnclosedHrefQuote",
                    R"(<a href="http://e.test/u>Text</a>)",
                    // Three characters short, as if a closing quote stood there.
                    {topic("Tex", "http://e.test/u")},
                    {}},
        OddPageCase{"LinkAtTheVeryEnd", R"(<a href="http://e.test/end">)", {}, {}},
        OddPageCase{"HeadlineOverALineBreak",
                    "<a href=\"http://e.test/b\">Two\r\nlines</a>",
                    {topic("Twolines", "http://e.test/b")},
                    {}},
        OddPageCase{
            "NestedAnchors",
            R"(<a class="hl" href="http://e.test/o"><a href="http://e.test/i">Inner</a></a>)",
            {topic("Inner", "http://e.test/i")},
            {topic(R"(<a href="http://e.test/i">Inner)", "http://e.test/o")}},
        OddPageCase{"ClassNameOnlyInText",
                    R"(<a href="http://e.test/1">hl news</a>)",
                    {topic("hl news", "http://e.test/1")},
                    {}},
        OddPageCase{"SynopsisBeforeItsHeadline",
                    R"(<div class="syn">Early</div><a class="hl" href="http://e.test/1">One</a>)",
                    {topic("One", "http://e.test/1")},
                    {topic("One", "http://e.test/1")}},
        OddPageCase{"SynopsisClosedByTheWrongTag",
                    R"(<a class="hl" href="http://e.test/1">One</a><span class="syn">Open</div>)",
                    {topic("One", "http://e.test/1")},
                    {topic("One", "http://e.test/1")}},
        OddPageCase{"NestedSynopsisEndsAtTheFirstClose",
                    R"(<a class="hl" href="http://e.test/1">One</a>)"
                    R"(<div class="syn">Outer <div>inner</div> tail</div>)",
                    {topic("One", "http://e.test/1")},
                    {topic("One", "http://e.test/1", "Outer <div>inner")}},
        OddPageCase{"HrefWithSpacesAndControls",
                    "<a class=\"hl\" href=\"  spaced\tpage.html\">Spaced</a>",
                    {},
                    {topic("Spaced", "http://site.test/news/ spacedpage.html")}},
        OddPageCase{"ManyOpenersNoClose",
                    "hl<a <a <a <a <a <a <a <a <a <a <a <a <a <a <a <a <a <a <a <a ",
                    {},
                    {}},
        OddPageCase{"ZeroCharacterInTheText",
                    "<a href=\"http://e.test/z\">Zero\x01"
                    "char</a>",
                    {topic("Zerochar", "http://e.test/z")},
                    {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureOddText, LoneSurrogatesPassThroughUntouched) {
    QString page = QStringLiteral("<a href=\"http://e.test/s\">Half ");
    page += QChar(0xD800);
    page += QStringLiteral(" pair</a>");
    QString headline = QStringLiteral("Half ");
    headline += QChar(0xD800);
    headline += QStringLiteral(" pair");
    EXPECT_EQ(asVector(basic(page)),
              (std::vector{TCapturedTopic{headline, "http://e.test/s", {}}}));
}

// Pages put together from the pieces the rules look for, in every order:
// whatever they hold, both modes end, stay within the page and keep their
// promises about what a topic holds.
QString randomPage(std::mt19937& random) {
    static const QStringList pieces = {"<a ",
                                       "</a>",
                                       "<A ",
                                       "</A>",
                                       "class=\"hl\"",
                                       "class=",
                                       "\"hl",
                                       "href=\"",
                                       "href=\"http://e.test/",
                                       "https://e.test/",
                                       "HTTP://",
                                       "\"",
                                       ">",
                                       "<",
                                       "<div class=\"syn\">",
                                       "</div>",
                                       "<span class=\"syn\">",
                                       "</span>",
                                       "<br>",
                                       "<br />",
                                       "<br/>",
                                       " ",
                                       "  ",
                                       "x",
                                       "word",
                                       "\r\n",
                                       "\t",
                                       "é",
                                       QString::fromUtf8("\xF0\x9F\x99\x82"),
                                       "&amp;",
                                       "<!-- ",
                                       " -->",
                                       "<title>",
                                       "</title>",
                                       "<meta charset=\"utf-8\">"};
    std::uniform_int_distribution<int> length(0, 60);
    std::uniform_int_distribution<qsizetype> piece(0, pieces.size() - 1);
    QString page;
    for (int i = length(random); i > 0; --i)
        page += pieces[piece(random)];
    return page;
}

bool hasControl(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            return true;
    return false;
}

bool hasLoneSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

TEST(CaptureOddPages, BothModesEndAndKeepTheirPromises) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 3000; ++round) {
        const QString page = randomPage(random);
        SCOPED_TRACE(page.toStdString());
        for (const TCapturedTopic& t : basic(page)) {
            EXPECT_GE(t.Headline.size(), 2);
            EXPECT_FALSE(t.Headline.contains(u'<'));
            EXPECT_FALSE(hasControl(t.Headline));
            EXPECT_FALSE(hasLoneSurrogate(t.Headline));
            EXPECT_TRUE(t.Synopsis.isEmpty());
            EXPECT_FALSE(t.Link.isEmpty());
        }
        const TCapturedTopics advanced = advancedHeadlines(page, pageAddress, "hl", "syn");
        EXPECT_LE(advanced.size(), page.count(u"\"hl"));
        for (const TCapturedTopic& t : advanced) {
            EXPECT_FALSE(hasControl(t.Headline));
            EXPECT_FALSE(hasControl(t.Link));
            EXPECT_FALSE(hasLoneSurrogate(t.Headline));
            EXPECT_FALSE(hasLoneSurrogate(t.Synopsis));
            EXPECT_FALSE(t.Link.isEmpty());
            EXPECT_TRUE(page.contains(t.Synopsis));
        }
    }
}

} // namespace
