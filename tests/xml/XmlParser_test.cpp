// The reader against a recording sink: structures, whitespace, references,
// declarations, encodings and the message of every failure.

#include "xml/XmlParserTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct EventCase {
    const char* input;
    const char* events;
};

class ReaderEvents : public testing::TestWithParam<EventCase> {};

TEST_P(ReaderEvents, ReportsStructuresInDocumentOrder) {
    ParseResult r = parseText(GetParam().input);
    EXPECT_EQ(errorOf(r), "");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.events, GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReaderEvents,
    testing::Values(
        // The space between rss and channel makes no node.
        EventCase{"<rss version=\"2.0\"> <channel></channel></rss>",
                  "<rss version='2.0'><channel></></>"},
        EventCase{"<title>  Hello\n     world  </title>", "<title>T[Hello world]</>"},
        EventCase{"<t><![CDATA[  a  b  ]]></t>", "<t>C[  a  b  ]</>"},
        EventCase{"<title><![CDATA[]]></title>", "<title></>"},
        EventCase{"<t>&amp;lt;</t>", "<t>T[&lt;]</>"},
        EventCase{"<t>&#x41;&#66;&#x6a;</t>", "<t>T[ABj]</>"},
        EventCase{"<t>a&nbsp;b</t>", "<t>T[ab]</>"},
        // Without its ";" an ampersand and name are not a reference.
        EventCase{"<t>AT&T rocks, &amp so &lt;</t>", "<t>T[AT&T rocks, &amp so <]</>"},
        EventCase{"<t x='AT&T &amp;'/>", "<t x='AT&T &'/>"},
        EventCase{"<t>&lt;&gt;&amp;&apos;&quot;</t>", "<t>T[<>&'\"]</>"},
        // References are replaced before the text is normalised as a whole.
        EventCase{"<a> x &#32;&#10; y </a>", "<a>T[x y]</>"},
        EventCase{"<a><b/><c x='1' y=\"2\"/></a>", "<a><b/><c x='1' y='2'/></>"},
        EventCase{"<a><b></b<c/></a>", "<a><b></><c/></>"}, EventCase{"<a x\"1\"/>", "<a x='1'/>"},
        EventCase{"<a x='1\n2\t3'/>", "<a x='1 2\t3'/>"},
        EventCase{"<a x=\"&lt;&#65;&amp;\"/>", "<a x='<A&'/>"},
        EventCase{"<a x='&undeclared;y'/>", "<a x='y'/>"},
        EventCase{"<?xml version='1.0' encoding='ISO-8859-1' standalone='yes'?><a/>",
                  "?xml[version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"]<a/>"},
        EventCase{"  <?xml version=\"1.0\"?>\n<a/>", "?xml[version=\"1.0\"]<a/>"},
        EventCase{"<?xml version='1.0'><a/>", "?xml[version=\"1.0\"]<a/>"},
        EventCase{"<!--c--><?pi  data here?><a/><!--after--><?end?>",
                  "!--[c]?pi[data here]<a/>!--[after]?end[]"},
        EventCase{"<a><!-x --></a>", "<a>!--[x ]</>"},
        EventCase{"<a>x<!--c-->y</a>", "<a>T[x]!--[c]T[y]</>"},
        EventCase{"<a>]x]]</a>", "<a>T[]x]]]</>"},
        // Character data touching a CDATA delimiter joins it ("+"); whitespace
        // or other markup between keeps the pieces apart.
        EventCase{"<t><![CDATA[5 ]]>&#8364;<![CDATA[ a month]]></t>",
                  "<t>C[5 ]+T[\xE2\x82\xAC]+C[ a month]</>"},
        EventCase{"<t><![CDATA[a]]]]><![CDATA[>b]]></t>", "<t>C[a]]]+C[>b]</>"},
        EventCase{"<t><![CDATA[]]>&#128512;<![CDATA[]]></t>", "<t>C[\xF0\x9F\x98\x80]</>"},
        EventCase{"<t>a<![CDATA[ b ]]>c&lt;&#32;<![CDATA[d]]></t>", "<t>T[a]C[ b ]T[c<]C[d]</>"},
        EventCase{"<d>Some text <![CDATA[<b>x</b>]]> more</d>",
                  "<d>T[Some text]C[<b>x</b>]T[more]</>"},
        EventCase{"<t>a<!--c--><![CDATA[b]]><x/>c<![CDATA[]]> d</t>",
                  "<t>T[a]!--[c]C[b]<x/>T[c]+T[ d]</>"},
        EventCase{"<t xml:space='preserve'><![CDATA[a]]> b<![CDATA[c]]>\n<![CDATA[d]]></t>",
                  "<t xml:space='preserve'>C[a]T[ b]C[c]T[\n]C[d]</>"},
        EventCase{"<a xml:space='preserve'> x <b> y </b><c xml:space='default'> z </c></a>",
                  "<a xml:space='preserve'>T[ x ]<b>T[ y ]</><c xml:space='default'>T[z]</></>"},
        EventCase{"<x><xsl:text> a </xsl:text> b </x>", "<x><xsl:text>T[ a ]</>T[b]</>"},
        EventCase{"<!DOCTYPE a [<!ENTITY e \"<b>x</b>\">]><a>&e;</a>",
                  "DOCTYPE a '' ''{D-ENTITY[<!ENTITY e \"<b>x</b>\">]}<a><b>T[x]</></>"},
        EventCase{"<!DOCTYPE a [<!ENTITY e 'one &f; three'><!ENTITY f 'two'>]><a x='&e;'>&e;</a>",
                  "DOCTYPE a '' ''{D-ENTITY[<!ENTITY e 'one &f; three'>]"
                  "D-ENTITY[<!ENTITY f 'two'>]}<a x='one two three'>T[one two three]</>"},
        // A character reference in an entity value is replaced at declaration:
        // the value holds "&#60;" and reads as the character data "<".
        EventCase{"<!DOCTYPE a [<!ENTITY lt2 '&#38;#60;'>]><a>&lt2;</a>",
                  "DOCTYPE a '' ''{D-ENTITY[<!ENTITY lt2 '&#38;#60;'>]}<a>T[<]</>"}));

struct ErrorCase {
    const char* input;
    const char* message;
};

class ReaderErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(ReaderErrors, StopsWithOneErrorLine) {
    ParseResult r = parseText(GetParam().input);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(r.errors.size(), 1u) << errorOf(r);
    const std::string& line = r.errors[0];
    EXPECT_EQ(line.rfind("File: . Line: ", 0), 0u) << line;
    std::string tail = std::string(" Error: ") + GetParam().message;
    ASSERT_GE(line.size(), tail.size()) << line;
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ReaderErrors,
    testing::Values(
        ErrorCase{"<?xml version='1.1'?><a/>",
                  "QuilloXML does not support XML versions greater than 1.0"},
        ErrorCase{"<?xml version='1,0'?><a/>", "Invalid XML version number: '1,0'"},
        ErrorCase{"<?xml version='1.0' encoding='8bit'?><a/>",
                  "Invalid encoding declaration: '8bit'"},
        ErrorCase{"<?xml version='1.0' encoding='utf 8'?><a/>",
                  "Invalid encoding declaration: 'utf 8'"},
        ErrorCase{"<?xml version='1.0' standalone='maybe'?><a/>",
                  "Standalone value must equal 'yes' or 'no'"},
        ErrorCase{"<!-- c --><?xml version='1.0'?><a/>",
                  "The XML declaration must appear before the first element"},
        ErrorCase{"<?pi?><?xml version='1.0'?><a/>",
                  "The XML declaration must appear before the first element"},
        ErrorCase{"<!DOCTYPE a><?xml version='1.0'?><a/>",
                  "The XML declaration must appear before the first element"},
        ErrorCase{"<a><?xml version='1.0'?></a>",
                  "The XML declaration must appear before the first element"},
        ErrorCase{"<a/><?xml version='1.0'?>",
                  "The XML declaration must appear before the first element"},
        ErrorCase{"<a b='1'c='2'/>", "Whitespace expected at Line: 1 Position: 9"},
        ErrorCase{"<1a/>", "Invalid XML name: '1'"}, ErrorCase{"<a!b/>", "Invalid XML name: '!'"},
        ErrorCase{"<a>&#x41</a>", "Illegal character in reference: < (60)"},
        ErrorCase{"<a>&#X41;</a>", "Illegal character in reference: X (88)"},
        ErrorCase{"<a>& b</a>", "Invalid XML name: ' '"},
        ErrorCase{"<a x='1' X='2'/>", "Attributes cannot be redefined in a start tag"},
        ErrorCase{"<a x=1/>", "Expected \" or '"}, ErrorCase{"<a x='1/>", "Expected: '"},
        ErrorCase{"<a x=\"1/>", "Expected: \""},
        ErrorCase{"<a x='a<b'/>", "Invalid character in attribute value: '<'"},
        ErrorCase{"<a x='a & b'/>", "Invalid character in attribute value: '&'"},
        ErrorCase{"<a x='AT&T'/>", "Invalid character in attribute value: '&'"},
        ErrorCase{"<a>x]]>y</a>", "Invalid characters in element's character data: ']]>'"},
        ErrorCase{"<!DOCTYPE a [<!ENTITY e 'x&e;'>]><a>&e;</a>", "Circular reference to: e"},
        ErrorCase{"<!DOCTYPE a [<!ENTITY e '&f;'><!ENTITY f '&e;'>]><a x='&e;'/>",
                  "Circular reference to: e"},
        ErrorCase{"<!DOCTYPE a [%p;]><a/>", "Reference to undeclared entity: p"},
        ErrorCase{"<a><!x></a>", "Expected comment or CDATA section (x)"},
        ErrorCase{"<a><!-- a -- b --></a>", "Invalid comment text"},
        ErrorCase{"<a><!-- a ---></a>", "Invalid comment text"},
        ErrorCase{"<a><!-- x", "End of input while looking for delimiter: '-->'"},
        ErrorCase{"<a><![CDATA[x]]", "End of input while looking for delimiter: ']]>'"},
        ErrorCase{"<a><?p x", "End of input while looking for delimiter: '?>'"},
        ErrorCase{"<a></A>", "Mismatched end tag: Start tag = \"a\" End tag = \"A\""},
        ErrorCase{"<a><b>x", "Unexpected end of file "}, ErrorCase{"", "Unexpected end of file "},
        ErrorCase{"x<a/>", "Expected start of new element."},
        ErrorCase{"<a/>x", "There is invalid data after valid XML document"},
        ErrorCase{"<a/><b/>", "There is invalid data after valid XML document"},
        ErrorCase{"<!DOCTYPE a PUBLIC 'a{b' 'c'><a/>", "Invalid PublicID character: '{'"}));

TEST(ReaderErrorLine, GivesTheLineAndColumnWhereTheErrorWasFound) {
    EXPECT_EQ(errorOf(parseText("<a>")), "File: . Line: 1 Col: 4 Error: Unexpected end of file ");
    EXPECT_EQ(
        errorOf(parseText("<a>\n<b>\r\n</c></a>")),
        "File: . Line: 3 Col: 4 Error: Mismatched end tag: Start tag = \"b\" End tag = \"c\"");
    EXPECT_EQ(errorOf(parseText("<a>\r\r<b x='1'y='2'/></a>")),
              "File: . Line: 3 Col: 9 Error: Whitespace expected at Line: 3 Position: 9");
}

TEST(ReaderErrorLine, KeepsWhatWasReportedBeforeTheError) {
    ParseResult r = parseText("<rss><item>1</item><item>2</item><item x=1/></rss>");
    EXPECT_EQ(r.events, "<rss><item>T[1]</><item>T[2]</>");
    EXPECT_FALSE(r.ok);
}

TEST(ReaderWhitespace, KeepsTextAsReadWhenNormalizeDataIsOff) {
    TXmlReaderSettings s;
    s.normalizeData = false;
    ParseResult r = parseText("<a> <b>x\r\ny\rz</b>\n</a>", s);
    EXPECT_EQ(r.events, "<a>T[ ]<b>T[x\ny\nz]</>T[\n]</>");
}

TEST(ReaderWhitespace, AsksOnPreserveSpaceForEachElement) {
    TXmlReaderSettings s;
    std::vector<std::string> asked;
    s.onPreserveSpace = [&](const std::u16string& name) {
        asked.push_back(utf16ToUtf8(name));
        return name == u"pre";
    };
    ParseResult r = parseText("<a> x <pre> y <b> z </b></pre></a>", s);
    EXPECT_EQ(r.events, "<a>T[x]<pre>T[ y ]<b>T[ z ]</></></>");
    EXPECT_EQ(asked, (std::vector<std::string>{"a", "pre", "b"}));
}

TEST(ReaderAttributes, AppliesDeclaredDefaultsAndNormalisesTokenisedValues) {
    ParseResult r = parseText("<!DOCTYPE a [<!ATTLIST a t NMTOKENS #IMPLIED c CDATA 'x  y' "
                              "k (p|q) 'q' f CDATA #FIXED 'fixed' r CDATA #REQUIRED>]>"
                              "<a t='  m   n ' r=' s  '><a c='given'/></a>");
    EXPECT_EQ(errorOf(r), "");
    EXPECT_EQ(r.events, "DOCTYPE a '' ''{D-ATTLIST[<!ATTLIST a t NMTOKENS #IMPLIED c CDATA 'x  y' "
                        "k (p|q) 'q' f CDATA #FIXED 'fixed' r CDATA #REQUIRED>]}"
                        "<a t='m n' r=' s  ' c='x  y' k='q' f='fixed'>"
                        "<a c='given' k='q' f='fixed'/></>");
}

TEST(ReaderAttributes, FindsARedefinitionAnywhereInALongStartTag) {
    std::string tag = "<a";
    for (int i = 0; i < 40; ++i)
        tag += " n" + std::to_string(i) + "='v'";
    EXPECT_TRUE(parseText(tag + "/>").ok);
    for (const char* again : {" N3='w'", " n39='w'", " N17='w'"})
        EXPECT_NE(errorOf(parseText(tag + again + "/>"))
                      .find("Error: Attributes cannot be redefined in a start tag"),
                  std::string::npos)
            << again;
}

TEST(ReaderText, KeepsCharactersAboveTheBasicPlaneAsSurrogatePairs) {
    ParseResult r = parseText("<a>&#x1F600;|&#128512;|\xF0\x9F\x98\x80</a><!--\xF0\x9F\x98\x80-->");
    ASSERT_EQ(r.texts.size(), 1u);
    EXPECT_EQ(r.texts[0], u"\U0001F600|\U0001F600|\U0001F600");
    EXPECT_EQ(errorOf(parseText("<a>&#xD800;</a>")),
              "File: . Line: 1 Col: 11 Error: Illegal character in reference: ; (59)");
    EXPECT_FALSE(parseText("<a>&#x110000;</a>").ok);
}

struct EncodingCase {
    std::string bytes;
    TXmlCharEncoding encoding;
    std::string events;
};

std::string utf16(const std::u16string& s, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : s) {
        char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

TEST(ReaderEncodings, FollowsByteOrderMarksAndTheLatin1Declaration) {
    const EncodingCase cases[] = {
        {"<a>\xC3\xA9</a>", ceUTF8, "<a>T[\xC3\xA9]</>"},
        {"\xEF\xBB\xBF<a>\xC3\xA9</a>", ceUTF8, "<a>T[\xC3\xA9]</>"},
        {utf16(u"<a>\u00E9\U0001F600</a>", false), ceUTF16LE, "<a>T[\xC3\xA9\xF0\x9F\x98\x80]</>"},
        {utf16(u"<a>\u00E9</a>", true), ceUTF16BE, "<a>T[\xC3\xA9]</>"},
        {"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\xE9</a>", ceISO88591,
         "?xml[version=\"1.0\" encoding=\"iso-8859-1\"]<a>T[\xC3\xA9]</>"},
        // A byte order mark for UTF-16 wins over the declaration.
        {utf16(u"<?xml version='1.0' encoding='ISO-8859-1'?><a>\u0100</a>", true), ceUTF16BE,
         "?xml[version=\"1.0\" encoding=\"ISO-8859-1\"]<a>T[\xC4\x80]</>"},
        {"\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9</a>", ceISO88591,
         "?xml[version=\"1.0\" encoding=\"ISO-8859-1\"]<a>T[\xC3\xA9]</>"},
    };
    for (const EncodingCase& c : cases) {
        ParseResult r = parseText(c.bytes);
        EXPECT_EQ(errorOf(r), "") << c.events;
        EXPECT_EQ(r.encoding, c.encoding) << c.events;
        EXPECT_EQ(r.events, c.events);
    }
}

TEST(ReaderEncodings, ReportsMalformedInputAsADecoderError) {
    const std::pair<std::string, std::string> cases[] = {
        {"<?xml version='1.0' encoding='x-no-such-set'?><a>\xE9</a>",
         "File: <unknown>. Line: 1 Col: 50 Error: Badly formed UTF-8 character in stream"},
        {"<?xml version='1.0' encoding='US-ASCII'?><a>\xE9</a>",
         "File: <unknown>. Line: 1 Col: 45 Error: Badly formed UTF-8 character in stream"},
        {"<?xml version='1.0' encoding='Shift_JIS'?><a>\x81</a>",
         "File: <unknown>. Line: 1 Col: 46 Error: Badly formed UTF-8 character in stream"},
        {"<a>\n\xC0\x80</a>",
         "File: <unknown>. Line: 2 Col: 1 Error: Badly formed UTF-8 character in stream"},
        {"<a>\xED\xA0\x80</a>",
         "File: <unknown>. Line: 1 Col: 4 Error: Badly formed UTF-8 character in stream"},
        {"<a>\xE2\x82",
         "File: <unknown>. Line: 1 Col: 4 Error: Badly formed UTF-8 character in stream"},
        {utf16(u"<a>", false) + std::string("\x00\xDC", 2),
         "File: <unknown>. Line: 1 Col: 4 Error: Invalid (little-endian) UTF-16 character "
         "encoding"},
        {utf16(u"<a>", true) + std::string("\xD8\x00\x00x", 4),
         "File: <unknown>. Line: 1 Col: 4 Error: Invalid (big-endian) UTF-16 character "
         "encoding"},
        {utf16(u"<a>", true) + "x",
         "File: <unknown>. Line: 1 Col: 4 Error: Invalid (big-endian) UTF-16 character "
         "encoding"},
    };
    for (const auto& [bytes, line] : cases) {
        ParseResult r = parseText(bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(errorOf(r), line);
    }
}

TEST(ReaderEncodings, GivesTheSameResultWhateverTheBufferSize) {
    std::string doc = "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY e 'x&#233;y'>]>"
                      "<r a=\"1\r\n2\">";
    for (int i = 0; i < 40; ++i)
        doc += "<i n='" + std::to_string(i) +
               "'>caf\xC3\xA9 \xF0\x9F\x98\x80 &e; ]] &amp;\r\n"
               "<![CDATA[ ]]]]><![CDATA[>]]>&#8364;x<![CDATA[y]]><!-- - --></i>\r";
    doc += "</r>";
    std::string latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE9";
    for (int i = 0; i < 40; ++i)
        latin1 += "<i>caf\xE9 \r\n&#233;</i>";
    latin1 += "</r>";
    for (const std::string& text : {doc, latin1}) {
        ParseResult whole = parseText(text);
        ASSERT_EQ(errorOf(whole), "");
        for (std::size_t size : {1, 2, 3, 4, 5, 7, 16, 17, 64}) {
            TXmlReaderSettings s;
            s.bufferSize = size;
            // Below 3 bytes the byte order mark is not looked for.
            ParseResult r = parseText(size < 3 && text == doc ? doc.substr(3) : text, s);
            EXPECT_EQ(errorOf(r), "") << size;
            EXPECT_EQ(r.events, whole.events) << size;
        }
    }
}

TEST(ReaderEntities, BoundsExpansion) {
    std::string laughs = "<!DOCTYPE a [<!ENTITY l0 'haha'>";
    for (int i = 1; i <= 12; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " '";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "'>";
    }
    laughs += "]>";
    for (const std::string& body : {std::string("<a>&l12;</a>"), std::string("<a x='&l12;'/>")}) {
        ParseResult r = parseText(laughs + body);
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(r.errors.size(), 1u);
        EXPECT_NE(r.errors[0].find(" Error: Entity expansion limit exceeded"), std::string::npos)
            << r.errors[0];
    }

    std::string deep = "<!DOCTYPE a [<!ENTITY d0 'x'>";
    for (int i = 1; i <= 70; ++i)
        deep += "<!ENTITY d" + std::to_string(i) + " '&d" + std::to_string(i - 1) + ";'>";
    deep += "]>";
    ParseResult shallow = parseText(deep + "<a>&d60;</a>");
    EXPECT_TRUE(shallow.ok);
    EXPECT_TRUE(shallow.events.ends_with("}<a>T[x]</>"));
    ParseResult r = parseText(deep + "<a>&d70;</a>");
    EXPECT_NE(errorOf(r).find(" Error: Entity expansion limit exceeded"), std::string::npos);

    std::string pe = "<!DOCTYPE a [<!ENTITY % p0 'abcdefghij'>";
    for (int i = 1; i <= 8; ++i) {
        pe += "<!ENTITY % p" + std::to_string(i) + " '";
        for (int k = 0; k < 10; ++k)
            pe += "%p" + std::to_string(i - 1) + ";";
        pe += "'>";
    }
    EXPECT_NE(errorOf(parseText(pe + "]><a/>")).find("Entity expansion limit exceeded"),
              std::string::npos);
}

} // namespace
