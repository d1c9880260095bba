// The feed check: one small feed per rule with the exact findings expected.

#include "feed/FeedCheck.h"
#include "feed/FeedDate.h"
#include "feed/FeedTemplate.h"
#include "xml/XmlDom.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::u16string& s) {
    return encodeXmlText(s, ceUTF8, false);
}

// The findings of a document as the tool prints them, without the file name.
std::vector<std::string> findingsOf(std::string_view xml) {
    TXmlObjModel model;
    EXPECT_TRUE(model.loadFromMemory(xml.data(), xml.size())) << xml;
    std::vector<std::string> lines;
    for (const FeedFinding& f : checkFeed(*model.document()))
        lines.push_back(std::string(severityName(f.severity)) + ": " + utf8(findingPlace(f)) +
                        ": " + utf8(f.message));
    return lines;
}

const std::string GoodItem = "<item><title>First</title><link>http://example.com/1</link>"
                             "<guid>http://example.com/1</guid>"
                             "<pubDate>Mon, 07 Dec 2026 10:00:00 +0000</pubDate></item>";

// A channel with its three required elements, then the given elements and items.
std::string feed(const std::string& channel, const std::string& items = GoodItem) {
    return "<rss version=\"2.0\"><channel><title>News</title><link>http://example.com/</link>"
           "<description>All the news</description>" +
           channel + items + "</channel></rss>";
}

std::string item(const std::string& children) {
    return "<item>" + children + "</item>";
}

TEST(FeedCheck, AFeedThatUsesEveryElementWellHasNoFindings) {
    const std::string xml =
        "<?xml version=\"1.0\"?>"
        "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\""
        " xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
        " xmlns:content=\"http://purl.org/rss/1.0/modules/content/\""
        " xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"><channel>"
        "<title>News &amp; Views</title><link>https://example.com/news?lang=en#top</link>"
        "<description>All the &lt;b&gt;news&lt;/b&gt;</description>"
        "<atom:link href=\"http://example.com/rss\" rel=\"self\" type=\"application/rss+xml\"/>"
        "<atom:link href=\"http://example.com/hub\" rel=\"hub\"/>"
        "<link xmlns=\"http://www.w3.org/2005/Atom\" href=\"http://example.com/other\"/>"
        "<language>en-us</language><copyright>2026 Example</copyright>"
        "<managingEditor>editor@example.com (Ed Itor)</managingEditor>"
        "<webMaster>Web Master &lt;web.master@mail.example.co.uk&gt;</webMaster>"
        "<pubDate>Mon, 07 Dec 2026 10:00:00 GMT</pubDate>"
        "<lastBuildDate>7 Dec 2026 10:00 EST</lastBuildDate>"
        "<category>News</category><category domain=\"http://example.com/c\">World</category>"
        "<generator>Quillo</generator><docs>http://www.rssboard.org/rss-2-0</docs>"
        "<cloud domain=\"rpc.example.com\" port=\"80\" path=\"/RPC2\""
        " registerProcedure=\"pingMe\" protocol=\"soap\"/>"
        "<ttl>60</ttl><rating>(PICS-1.1 \"http://www.rsac.org/ratingsv01.html\" l r (n 0))</rating>"
        "<image><url>http://example.com/logo.PNG?v=2</url><title>News</title>"
        "<link>http://example.com/</link><width>144</width><height>400</height>"
        "<description>Logo</description></image>"
        "<textInput><title>Go</title><description>Search</description><name>q</name>"
        "<link>http://example.com/search</link></textInput>"
        "<skipHours><hour>0</hour><hour>23</hour></skipHours>"
        "<skipDays><day>Saturday</day><day>Sunday</day></skipDays>"
        "<itunes:author>Ed</itunes:author><itunes:category text=\"News\"/>"
        "<itunes:category text=\"Arts\"/>"
        "<item><title>First</title><link>http://example.com/1</link>"
        "<description><![CDATA[<p>See <a href=\"http://example.com/a\">this</a>"
        " <img src='//cdn.example.com/a.png'> <a href=mailto:ed@example.com>mail</a></p>]]>"
        "</description><author>ed@example.com (Ed)</author>"
        "<category>A</category><category>B</category>"
        "<comments>http://example.com/1#comments</comments>"
        "<enclosure url=\"http://example.com/1.mp3\" length=\"12345678901\" type=\"audio/mpeg\"/>"
        "<enclosure url=\"http://example.com/1.ogg\" length=\"0\""
        " type=\"audio/ogg; codecs=vorbis\"/>"
        "<guid isPermaLink=\"true\">http://example.com/1</guid>"
        "<pubDate>Mon, 07 Dec 2026 10:00:00 +0100</pubDate>"
        "<source url=\"http://example.org/rss\">Elsewhere</source>"
        "<dc:creator>Ed</dc:creator><dc:creator>Al</dc:creator>"
        "<content:encoded><![CDATA[<a href=\"relative.html\">x</a>]]></content:encoded>"
        "</item>"
        "<item><description>Second, without a title</description>"
        "<guid isPermaLink=\"false\">tag:example.com,2026:2</guid></item>"
        "</channel></rss>";
    EXPECT_EQ(findingsOf(xml), std::vector<std::string>{});
}

struct RuleCase {
    const char* rule;
    std::string xml;
    std::vector<std::string> findings;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.rule;
}

class FeedCheckRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(FeedCheckRule, GivesExactlyItsFindings) {
    EXPECT_EQ(findingsOf(GetParam().xml), GetParam().findings) << GetParam().rule;
}

const RuleCase ruleCases[] = {
    {"a document that is not rss",
     "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>x</title></feed>",
     {"error: document: the document element is \"feed\", not \"rss\": this is not an RSS 2.0 "
      "feed"}},
    {"rss without channel",
     "<rss version=\"2.0\"></rss>",
     {"error: rss: rss has no channel: put the feed's elements in a \"channel\""}},
    {"rss without version and with a second channel",
     "<rss><channel><title>t</title><link>http://example.com/</link><description>d"
     "</description></channel><channel/></rss>",
     {"error: rss version: rss has no version: add version=\"2.0\"",
      "error: rss channel: rss has more than one \"channel\": keep one"}},
    {"another rss version",
     "<rss version=\"0.92\"><channel><title>t</title><link>http://example.com/</link>"
     "<description>d</description></channel></rss>",
     {"warning: rss version: the version is \"0.92\", not \"2.0\": the feed is checked as RSS "
      "2.0"}},
    {"a channel without title, link and description",
     "<rss version=\"2.0\"><channel><language>en</language></channel></rss>",
     {"error: channel title: the channel has no title: add one",
      "error: channel link: the channel has no link: add the address of its web site",
      "error: channel description: the channel has no description: add a sentence about what "
      "it offers"}},
    {"an empty channel title and description",
     "<rss version=\"2.0\"><channel><title/><link>http://example.com/</link>"
     "<description> </description></channel></rss>",
     {"warning: channel title: the title is empty: give the channel a name",
      "warning: channel description: the description is empty: say in a sentence what the "
      "channel is about"}},
    {"channel elements that may appear once, repeated",
     feed("<title>Again</title><ttl>5</ttl><ttl>6</ttl><ttl>7</ttl>"),
     {"error: channel title: the channel has more than one \"title\": keep one",
      "error: channel ttl: the channel has more than one \"ttl\": keep one"}},
    {"item elements that may appear once, repeated",
     feed("", item("<title>A</title><link>http://example.com/a</link>"
                   "<link>http://example.com/b</link><guid isPermaLink=\"false\">a</guid>")),
     {"error: item 1 \"A\" link: the item has more than one \"link\": keep one"}},
    {"elements outside RSS 2.0",
     feed("<Title>x</Title>",
          item("<title>A</title><guid isPermaLink=\"false\">a</guid><image>x</image>")),
     {"error: channel Title: \"Title\" is not an RSS 2.0 element of the channel: remove it, or "
      "put it in a namespace of its own",
      "error: item 1 \"A\" image: \"image\" is not an RSS 2.0 element of the item: remove it, or "
      "put it in a namespace of its own"}},
    {"an item with neither title nor description",
     feed("", item("<link>http://example.com/a</link><guid>http://example.com/a</guid>")),
     {"error: item 1 \"http://example.com/a\": the item has neither title nor description: add "
      "at least one"}},
    {"two items with the same guid",
     feed("", GoodItem + GoodItem),
     {"error: item 2 \"First\" guid: the guid \"http://example.com/1\" is also the guid of item "
      "1: give every item its own guid"}},
    {"isPermaLink neither true nor false",
     feed("", item("<title>A</title><guid isPermaLink=\"yes\">a-1</guid>")),
     {"error: item 1 \"A\" guid isPermaLink: isPermaLink \"yes\" is neither \"true\" nor "
      "\"false\": write one of the two"}},
    // The topic editor writes isPermaLink="" for a guid whose kind was never
    // set; readers take that as a permalink.
    {"an empty isPermaLink is a permalink",
     feed("", item("<title>A</title><guid isPermaLink=\"\">http://example.com/a</guid>") +
                  item("<title>B</title><guid isPermaLink=\"\">b-1</guid>")),
     {"error: item 2 \"B\" guid: the guid \"b-1\" is taken as a permalink but is not an "
      "absolute URL: write the item's full address, or add isPermaLink=\"false\""}},
    {"a permalink guid that is not an address",
     feed("", item("<title>A</title><guid>a-1</guid>") +
                  item("<title>B</title><guid isPermaLink=\"true\">b-1</guid>") +
                  item("<title>C</title><guid/>")),
     {"error: item 1 \"A\" guid: the guid \"a-1\" is taken as a permalink but is not an "
      "absolute URL: write the item's full address, or add isPermaLink=\"false\"",
      "error: item 2 \"B\" guid: the guid \"b-1\" is taken as a permalink but is not an "
      "absolute URL: write the item's full address, or add isPermaLink=\"false\"",
      "error: item 3 \"C\" guid: the guid is empty: give the item a guid, or remove the "
      "element"}},
    {"an enclosure without url, length and type",
     feed("", item("<title>A</title><guid isPermaLink=\"false\">a</guid>"
                   "<enclosure url=\"\"/>")),
     {"error: item 1 \"A\" enclosure url: the enclosure has no url: add the address of the file",
      "error: item 1 \"A\" enclosure length: the enclosure has no length: add the file's size in "
      "bytes (0 when unknown)",
      "error: item 1 \"A\" enclosure type: the enclosure has no type: add the file's MIME type, "
      "like \"audio/mpeg\""}},
    {"an enclosure length that is not a number of bytes, and a type that is no MIME type",
     feed("", item("<title>A</title><guid isPermaLink=\"false\">a</guid>"
                   "<enclosure url=\"http://example.com/a.mp3\" length=\"-1\" type=\"mp3\"/>"
                   "<enclosure url=\"http://example.com/b.mp3\" length=\"1.5 MB\""
                   " type=\"audio/mpeg\"/>")),
     {"error: item 1 \"A\" enclosure length: the enclosure length \"-1\" is not a number of "
      "bytes: write the file's size in bytes, 0 when unknown",
      "error: item 1 \"A\" enclosure type: the enclosure type \"mp3\" is not a MIME type: write "
      "it like \"audio/mpeg\"",
      "error: item 1 \"A\" enclosure length: the enclosure length \"1.5 MB\" is not a number of "
      "bytes: write the file's size in bytes, 0 when unknown"}},
    {"a ttl that is not a whole number",
     feed("<ttl>1.5</ttl>"),
     {"error: channel ttl: ttl \"1.5\" is not a whole number of minutes: write it like \"60\""}},
    {"hours outside the day, and repeated",
     feed("<skipHours><hour>24</hour><hour>-1</hour><hour>7</hour><hour>07</hour><minute/>"
          "</skipHours>"),
     {"error: channel skipHours minute: \"minute\" is not an RSS 2.0 element of skipHours: "
      "remove it, or put it in a namespace of its own",
      "error: channel skipHours hour: hour \"24\" is not an hour of the day: write a whole number "
      "from 0 to 23",
      "error: channel skipHours hour: hour \"-1\" is not an hour of the day: write a whole number "
      "from 0 to 23",
      "error: channel skipHours hour: hour 7 is listed more than once: keep one"}},
    {"days that are no English day names, and repeated",
     feed("<skipDays><day>monday</day><day>Lundi</day><day>Friday</day><day>Friday</day>"
          "</skipDays>"),
     {"error: channel skipDays day: day \"monday\" is not an English day name: write it like "
      "\"Monday\"",
      "error: channel skipDays day: day \"Lundi\" is not an English day name: write it like "
      "\"Monday\"",
      "error: channel skipDays day: day Friday is listed more than once: keep one"}},
    {"an image too wide, too high or of no size",
     feed("<image><url>http://example.com/a.gif</url><title>t</title>"
          "<link>http://example.com/</link><width>145</width><height>401</height></image>"),
     {"error: channel image width: the image width \"145\" is more than 144 pixels: make the "
      "picture at most 144 pixels wide",
      "error: channel image height: the image height \"401\" is more than 400 pixels: make the "
      "picture at most 400 pixels high"}},
    {"an image size that is not a whole number",
     feed("<image><url>http://example.com/a.jpg</url><title>t</title>"
          "<link>http://example.com/</link><width>wide</width><height>-3</height></image>"),
     {"error: channel image width: the image width \"wide\" is not a whole number of pixels: "
      "write it like \"144\"",
      "error: channel image height: the image height \"-3\" is not a whole number of pixels: "
      "write it like \"400\""}},
    {"an image without its parts, and with a part of another element",
     feed("<image><url>http://example.com/a.png</url><name>n</name></image>"),
     {"error: channel image name: \"name\" is not an RSS 2.0 element of the image: remove it, or "
      "put it in a namespace of its own",
      "error: channel image title: the image has no title: add a few words that describe the "
      "picture",
      "error: channel image link: the image has no link: add the address of the site"}},
    {"a cloud without an attribute, with a port that is not a number and an unknown protocol",
     feed("<cloud domain=\"rpc.example.com\" port=\"eighty\" path=\"/RPC2\""
          " protocol=\"smtp\"/>"),
     {"error: channel cloud port: the cloud's port \"eighty\" is not a port number: write it like "
      "\"80\"",
      "error: channel cloud registerProcedure: the cloud has no registerProcedure: add the name "
      "of the procedure to call",
      "error: channel cloud protocol: the cloud's protocol \"smtp\" is unknown: write "
      "\"xml-rpc\", \"soap\" or \"http-post\""}},
    {"a text input without one of its parts",
     feed("<textInput><title>Go</title><description>Search</description>"
          "<link>http://example.com/s</link></textInput>"),
     {"error: channel textInput name: the text input has no name: add the name of the text "
      "field"}},
    {"a language that is not a language code",
     feed("<language>English</language>"),
     {"error: channel language: language \"English\" is not a language code: write it like "
      "\"en\", \"en-us\" or \"fr-FR\""}},
    {"people without an e-mail address",
     feed(
         "<managingEditor>Ed Itor</managingEditor><webMaster>mailto:web@example.com"
         "</webMaster>",
         item("<title>A</title><guid isPermaLink=\"false\">a</guid><author>ed@localhost</author>")),
     {"error: channel managingEditor: managingEditor \"Ed Itor\" has no e-mail address: write it "
      "like \"joe@example.com (Joe Bloggs)\"",
      "error: channel webMaster: webMaster \"mailto:web@example.com\" has no e-mail address: "
      "write it like \"joe@example.com (Joe Bloggs)\"",
      "error: item 1 \"A\" author: author \"ed@localhost\" has no e-mail address: write it like "
      "\"joe@example.com (Joe Bloggs)\""}},
    {"addresses that are not absolute URLs",
     "<rss version=\"2.0\"><channel><title>t</title><link>www.example.com</link>"
     "<description>d</description><docs>/rss.html</docs>"
     "<image><url>logo.png</url><title>t</title><link>http:/example.com</link></image>"
     "<item><title>A</title><link>page.html</link><comments>C:\\comments</comments>"
     "<guid isPermaLink=\"false\">a</guid>"
     "<enclosure url=\"a b.mp3\" length=\"1\" type=\"audio/mpeg\"/>"
     "<source url=\"feed.xml\">x</source></item></channel></rss>",
     {"error: channel link: link \"www.example.com\" is not an absolute URL: write the full "
      "address, like \"http://example.com/page.html\"",
      "error: channel docs: docs \"/rss.html\" is not an absolute URL: write the full address, "
      "like \"http://example.com/page.html\"",
      "error: channel image url: the image url \"logo.png\" is not an absolute URL: write the "
      "full address, like \"http://example.com/page.html\"",
      "error: channel image link: the image link \"http:/example.com\" is not an absolute URL: "
      "write the full address, like \"http://example.com/page.html\"",
      "error: item 1 \"A\" link: link \"page.html\" is not an absolute URL: write the full "
      "address, like \"http://example.com/page.html\"",
      "error: item 1 \"A\" comments: comments \"C:\\comments\" is not an absolute URL: write the "
      "full address, like \"http://example.com/page.html\"",
      "error: item 1 \"A\" enclosure url: the enclosure url \"a b.mp3\" is not an absolute URL: "
      "write the full address, like \"http://example.com/page.html\"",
      "error: item 1 \"A\" source url: the source url \"feed.xml\" is not an absolute URL: write "
      "the full address, like \"http://example.com/page.html\""}},
    {"an address without a site",
     feed("", item("<title>A</title><link>https://</link><guid isPermaLink=\"false\">a</guid>")),
     {"warning: item 1 \"A\" link: link \"https://\" names no site: write the full address, like "
      "\"http://example.com/\""}},
    {"an item without guid",
     feed("", item("<title>A</title>")),
     {"warning: item 1 \"A\": the item has no guid: add one, so that readers can tell it from the "
      "others"}},
    {"markup in titles",
     feed("", item("<title>&lt;b&gt;Big&lt;/b&gt; news</title>"
                   "<guid isPermaLink=\"false\">a</guid>") +
                  item("<title>Small <i>news</i></title><guid isPermaLink=\"false\">b</guid>") +
                  item("<title>1 &lt; 2 and 3 &gt; 2</title><guid isPermaLink=\"false\">c</guid>")),
     {"warning: item 1 \"<b>Big</b> news\" title: the title \"<b>Big</b> news\" contains markup, "
      "which many readers show as it is: write plain text",
      "warning: item 2 \"Small\" title: the title \"Small news\" contains markup, which many "
      "readers show as it is: write plain text"}},
    {"relative addresses in a description",
     feed("", item("<title>A</title><guid isPermaLink=\"false\">a</guid><description>"
                   "&lt;p&gt;&lt;a href=\"http://example.com/\"&gt;x&lt;/a&gt;&lt;IMG "
                   "alt='a' SRC = 'img/a.png'&gt;&lt;/p&gt;</description>") +
                  item("<title>B</title><guid isPermaLink=\"false\">b</guid>"
                       "<description xml:base=\"http://example.com/\">&lt;a "
                       "href=\"b.html\"&gt;b&lt;/a&gt;</description>")),
     {"warning: item 1 \"A\" description: the description links to the relative address "
      "\"img/a.png\", which readers cannot follow: write the full address"}},
    {"a relative address in the channel's description",
     "<rss version=\"2.0\"><channel><title>t</title><link>http://example.com/</link>"
     "<description><![CDATA[<a href=\"/about\">About</a>]]></description></channel></rss>",
     {"warning: channel description: the description links to the relative address \"/about\", "
      "which readers cannot follow: write the full address"}},
    {"the old spelling of textInput",
     feed("<textinput><title>Go</title><description>Search</description><name>q</name>"
          "<link>search</link></textinput>"),
     {"warning: channel textinput: \"textinput\" is the old spelling: write \"textInput\"",
      "error: channel textInput link: the text input link \"search\" is not an absolute URL: "
      "write the full address, like \"http://example.com/page.html\""}},
    {"an image that is not a GIF, JPEG or PNG file",
     feed("<image><url>http://example.com/logo.svg</url><title>t</title>"
          "<link>http://example.com/</link></image>"),
     {"warning: channel image url: the image url \"http://example.com/logo.svg\" is not a GIF, "
      "JPEG or PNG file: use a .gif, .jpg or .png picture"}},
    {"an item outside the channel",
     "<rss version=\"2.0\"><channel><title>t</title><link>http://example.com/</link>"
     "<description>d</description></channel><item><title>A</title>"
     "<guid isPermaLink=\"false\">a</guid></item></rss>",
     {"error: rss item: \"item\" is not an RSS 2.0 element of rss: remove it, or put it in a "
      "namespace of its own",
      "warning: item 1 \"A\": the item is outside the channel, where readers do not look: move it "
      "into the channel"}},
    {"a prefix without its namespace",
     feed("<atom:link href=\"http://example.com/rss\" rel=\"self\"/>",
          item("<title>A</title><guid isPermaLink=\"false\">a</guid>"
               "<media:content xmlns:media=\"http://search.yahoo.com/mrss/\" url=\"x\"/>"
               "<dc:creator>Ed</dc:creator><xml:x/>")),
     {"error: channel atom:link: the prefix \"atom\" of \"atom:link\" is not declared: add "
      "xmlns:atom=\"...\" with its namespace to the rss element",
      "error: item 1 \"A\" dc:creator: the prefix \"dc\" of \"dc:creator\" is not declared: "
      "add xmlns:dc=\"...\" with its namespace to the rss element"}},
    {"an item inside an item",
     feed("", item("<title>A</title><guid isPermaLink=\"false\">a</guid>"
                   "<item><title>B</title></item>")),
     {"error: item 1 \"A\" item: \"item\" is not an RSS 2.0 element of the item: remove it, or "
      "put it in a namespace of its own",
      "warning: item 2 \"B\": the item is outside the channel, where readers do not look: move it "
      "into the channel"}},
    {"parts the program leaves blank are not set",
     feed("<image><title/><link/><url/></image><cloud domain=\"\" port=\"\" path=\"\""
          " registerProcedure=\"\" protocol=\"\"/><textInput><title/><description/><name/>"
          "<link/></textInput>",
          item("<title><![CDATA[]]></title><link></link><description></description>"
               "<author></author><enclosure length=\"\" type=\"\" url=\"\"/><pubDate/>") +
              item("<title>A</title><link/><guid isPermaLink=\"false\">a</guid>")),
     {"warning: item 1: the item is empty: fill it in or remove it"}},
};

INSTANTIATE_TEST_SUITE_P(Rules, FeedCheckRule, ::testing::ValuesIn(ruleCases));

struct DateCase {
    const char* text;
    const char* severity; // "" when the date is good
};

// Every form a feed date may take, and the near misses.
TEST(FeedCheck, ReadsDatesAsRfc822) {
    const DateCase cases[] = {
        {"Mon, 07 Dec 2026 10:00:00 +0000", ""},
        {"Mon, 7 Dec 2026 10:00:00 GMT", ""},
        {"07 Dec 2026 10:00 UT", ""},
        {"  mon ,07 DEC 2026   23:59:60  edt ", ""},
        {"Mon, 07 Dec 2026 10:00:00 -0930", ""},
        {"Mon, 07 Dec 2026 10:00:00 Z", ""},
        {"Mon, 07 Dec 2026 10:00:00 a", ""},
        {"Tue, 29 Feb 2028 10:00:00 PST", ""},
        {"Mon, 07 Dec 26 10:00:00 GMT", "warning"},
        {"Tue, 07 Dec 2026 10:00:00 GMT", "warning"},
        {"7/12/2026", "error"},
        {"2026-12-07T10:00:00Z", "error"},
        {"Monday, 07 Dec 2026 10:00:00 GMT", "error"},
        {"Mon, 07 December 2026 10:00:00 GMT", "error"},
        {"Mon 07 Dec 2026 10:00:00 GMT", "error"},
        {"Mon, 07 Dec 2026 10:00:00", "error"},
        {"Mon, 07 Dec 2026 10:00:00 UTC", "error"},
        {"Mon, 07 Dec 2026 10:00:00 +01:00", "error"},
        {"Mon, 07 Dec 2026 10:00:00 +0160", "error"},
        {"Mon, 07 Dec 2026 10:00:00 J", "error"},
        {"Mon, 07 Dec 026 10:00:00 GMT", "error"},
        {"Mon, 07 Dec 20261 10:00:00 GMT", "error"},
        {"Mon, 07 Dec 2026 9:00:00 GMT", "error"},
        {"Mon, 07 Dec 2026 24:00:00 GMT", "error"},
        {"Mon, 07 Dec 2026 10:60:00 GMT", "error"},
        {"Thu, 29 Feb 2027 10:00:00 GMT", "error"},
        {"Mon, 32 Dec 2026 10:00:00 GMT", "error"},
        {"Mon, 007 Dec 2026 10:00:00 GMT", "error"},
        {"Mon, 07Dec 2026 10:00:00 GMT", "error"},
        {"Mon, 07 Dec 2026 10:00:00 GMT junk", "error"},
        {"", "error"},
    };
    for (const DateCase& c : cases) {
        const std::vector<std::string> found =
            findingsOf(feed("<pubDate>" + std::string(c.text) + "</pubDate>"));
        if (*c.severity == '\0') {
            EXPECT_EQ(found, std::vector<std::string>{}) << c.text;
            continue;
        }
        ASSERT_EQ(found.size(), 1u) << c.text;
        EXPECT_EQ(found[0].rfind(std::string(c.severity) + ": channel pubDate: pubDate", 0), 0u)
            << c.text << " gave " << found[0];
    }
    EXPECT_EQ(findingsOf(feed("<lastBuildDate>7/12/2026</lastBuildDate>")),
              std::vector<std::string>{
                  "error: channel lastBuildDate: lastBuildDate \"7/12/2026\" is not a feed date: "
                  "write it like \"Mon, 07 Dec 2026 10:00:00 +0000\""});
    EXPECT_EQ(findingsOf(feed("", item("<title>A</title><guid isPermaLink=\"false\">a</guid>"
                                       "<pubDate>Mon, 07 Dec 26 10:00:00 GMT</pubDate>"))),
              std::vector<std::string>{
                  "warning: item 1 \"A\" pubDate: pubDate \"Mon, 07 Dec 26 10:00:00 GMT\" has a "
                  "two-digit year: write the year with four digits"});
}

TEST(FeedCheck, ReadsLanguageCodes) {
    for (const char* good : {"en", "en-us", "fr-FR", "EN-GB", "de-CH-1996", "haw", "x-klingon",
                             "i-navajo", "zh-Hant-TW", "iw"})
        EXPECT_EQ(findingsOf(feed("<language>" + std::string(good) + "</language>")),
                  std::vector<std::string>{})
            << good;
    for (const char* bad :
         {"", "e", "zz", "english", "en_US", "en-", "-en", "en--us", "x", "en-toolongtag", "e1"})
        EXPECT_EQ(findingsOf(feed("<language>" + std::string(bad) + "</language>")).size(), 1u)
            << bad;
}

TEST(FeedCheck, TheNewFeedTemplateHasWarningsOnly) {
    EXPECT_EQ(findingsOf(NewFeedTemplate),
              (std::vector<std::string>{
                  "warning: channel link: link \"http://\" names no site: write the full address, "
                  "like \"http://example.com/\"",
                  "warning: item 1: the item is empty: fill it in or remove it"}));
}

// An item as the topic editor writes it, with the program's own date text.
TEST(FeedCheck, AnItemAsTheProgramWritesItHasNoErrors) {
    const std::string date = feedDateText(QDate(2026, 12, 7), QTime(9, 5, 0)).toStdString();
    const std::string xml =
        feed("<language>en-us</language><pubDate>" + date + "</pubDate><lastBuildDate>" + date +
                 "</lastBuildDate><ttl>60</ttl><skipHours><hour>0</hour><hour>13</hour></skipHours>"
                 "<skipDays><day>Sunday</day></skipDays>",
             "<item><title><![CDATA[Headline]]></title><link>http://example.com/a</link>"
             "<description><![CDATA[<b>Synopsis</b>   second line]]></description>"
             "<author>ed@example.com</author><comments>http://example.com/a#c</comments>"
             "<source>Elsewhere</source><category domain=\"\">News</category>"
             "<guid isPermaLink=\"true\">http://example.com/a</guid>"
             "<enclosure length=\"0\" type=\"audio/mpeg\" url=\"http://example.com/a.mp3\"/>"
             "<pubDate>" +
                 date + "</pubDate></item>");
    EXPECT_EQ(findingsOf(xml),
              std::vector<std::string>{"warning: item 1 \"Headline\" source url: the source has no "
                                       "url: add the address of the feed the item comes from"});
}

TEST(FeedCheck, PlacesNameTheItemByNumberAndShortHeadline) {
    FeedFinding f;
    f.scope = FeedScope::Item;
    f.item = 11;
    f.headline = u"A headline that goes on\nand on for much longer than a place should show";
    f.element = u"enclosure";
    f.attribute = u"length";
    EXPECT_EQ(utf8(findingPlace(f)),
              "item 12 \"A headline that goes on and on for much...\" enclosure length");
    f.headline.clear();
    f.attribute.clear();
    EXPECT_EQ(utf8(findingPlace(f)), "item 12 enclosure");
    EXPECT_FALSE(hasFeedErrors({}));
    f.severity = FeedSeverity::Warning;
    EXPECT_FALSE(hasFeedErrors({f}));
    f.severity = FeedSeverity::Error;
    EXPECT_TRUE(hasFeedErrors({f}));
}

// Namespaced elements repeat freely; the same names in the feed's own
// namespace are RSS elements.
TEST(FeedCheck, TheFeedsOwnDefaultNamespaceIsRss) {
    const std::string xml = "<rss version=\"2.0\" xmlns=\"http://backend.userland.com/rss2\">"
                            "<channel><title>t</title><link>http://example.com/</link>"
                            "<description>d</description><ttl>x</ttl></channel></rss>";
    EXPECT_EQ(findingsOf(xml),
              std::vector<std::string>{"error: channel ttl: ttl \"x\" is not a whole number of "
                                       "minutes: write it like \"60\""});
}

} // namespace
