// Local sources and the document type: external subsets relative to the
// document, parameter entities, and what a missing or external piece does.

#include "xml/XmlParserTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

class LocalSources : public testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "xrdtdXXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern + "/";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string write(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(dir + name).parent_path());
        std::ofstream(dir + name, std::ios::binary) << bytes;
        return dir + name;
    }
};

TEST_F(LocalSources, ReadsAFileByPathAndByFileName) {
    std::string path = write("feed.xml", "<?xml version=\"1.0\"?>\r\n<rss><channel/></rss>\r\n");
    for (const std::string& source : {path, "file://" + path, "FILE://" + path}) {
        ParseResult r = parseFile(source);
        EXPECT_TRUE(r.ok) << errorOf(r);
        EXPECT_TRUE(r.opened);
        EXPECT_EQ(r.encoding, ceUTF8);
        EXPECT_EQ(r.events, "?xml[version=\"1.0\"]<rss><channel/></>");
    }
}

TEST_F(LocalSources, NamesTheFileInItsErrorLine) {
    std::string path = write("bad.xml", "<rss>\n<channel>\n");
    ParseResult r = parseFile(path);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(errorOf(r), "File: " + path + ". Line: 3 Col: 1 Error: Unexpected end of file ");
}

TEST_F(LocalSources, ReportsAMissingFileWithTheSourceTextUnchanged) {
    for (const std::string& source : {dir + "nosuch.xml", "file://" + dir + "nosuch.xml", dir}) {
        ParseResult r = parseFile(source);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.opened);
        EXPECT_EQ(errorOf(r), "File " + source + " could not be found");
        EXPECT_EQ(r.events, "");
    }
}

TEST_F(LocalSources, ReadsTheExternalSubsetRelativeToTheDocumentWithoutReportingIt) {
    write("dtd/rss.dtd", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                         "<!-- not reported -->\n"
                         "<!ENTITY % inner SYSTEM \"inner.ent\">\n%inner;\n"
                         "<!ENTITY eacute \"\xE9\">\n"
                         "<!ATTLIST rss version CDATA \"0.91\">\n"
                         "<![INCLUDE[<!ENTITY inc \"yes\">]]><![IGNORE[<!ENTITY ign \"no\">]]>\n");
    write("dtd/inner.ent", "<!ENTITY copy \"&#169;\">");
    std::string path =
        write("feed.xml", "<!DOCTYPE rss SYSTEM \"dtd/rss.dtd\" [<!ENTITY own \"mine\">]>"
                          "<rss>&eacute;&copy;&own;&inc;&ign;</rss>");
    ParseResult r = parseFile(path);
    EXPECT_EQ(errorOf(r), "");
    EXPECT_EQ(r.events, "DOCTYPE rss '' 'dtd/rss.dtd'{D-ENTITY[<!ENTITY own \"mine\">]}"
                        "<rss version='0.91'>T[\xC3\xA9\xC2\xA9mineyes]</>");
}

TEST_F(LocalSources, BuildsTheWholeDocumentWhenTheExternalSubsetIsMissing) {
    std::string feed = "<?xml version=\"1.0\"?>\n"
                       "<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\"\n"
                       "  \"rss-0.91.dtd\">\n"
                       "<rss version=\"0.91\"><channel><title>Caf&eacute;</title>"
                       "<item><title>One</title></item><item><title>Two</title></item>"
                       "</channel></rss>\n";
    std::string path = write("old.xml", feed);
    ParseResult r = parseFile(path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors,
              (std::vector<std::string>{"File " + dir + "rss-0.91.dtd could not be found",
                                        "File: " + path + ". Line: 0 Col: 0 Error: File '" + dir +
                                            "rss-0.91.dtd' could not be found"}));
    EXPECT_EQ(r.events, "?xml[version=\"1.0\"]DOCTYPE rss '-//Netscape Communications//DTD RSS "
                        "0.91//EN' 'rss-0.91.dtd'{}<rss version='0.91'><channel><title>T[Caf]</>"
                        "<item><title>T[One]</></><item><title>T[Two]</></></></>");
}

TEST_F(LocalSources, LeavesEveryExternalPieceUnreadWhenAskedTo) {
    write("rss.dtd", "<!ENTITY eacute \"\xE9\">\n<!ATTLIST rss version CDATA \"0.91\">\n");
    std::string path = write("feed.xml", "<!DOCTYPE rss SYSTEM \"rss.dtd\" ["
                                         "<!ENTITY % more SYSTEM \"http://127.0.0.1:9/more.ent\">"
                                         "%more;<!ENTITY own \"mine\">]>"
                                         "<rss>Caf&eacute; &own;</rss>");
    TXmlReaderSettings settings;
    settings.readExternalDtd = false;
    ParseResult r = parseFile(path, settings);
    EXPECT_TRUE(r.ok) << errorOf(r);
    EXPECT_EQ(r.events, "DOCTYPE rss '' 'rss.dtd'{D-ENTITY[<!ENTITY % more SYSTEM "
                        "\"http://127.0.0.1:9/more.ent\">]D-ENTITY[<!ENTITY own \"mine\">]}"
                        "<rss>T[Caf mine]</>");
}

TEST_F(LocalSources, DoesNotFetchExternalGeneralEntities) {
    write("secret.txt", "top secret");
    std::string path = write("feed.xml", "<!DOCTYPE a [<!ENTITY s SYSTEM \"secret.txt\">"
                                         "<!ENTITY u SYSTEM \"x.gif\" NDATA gif>]>"
                                         "<a t='[&s;]'>[&s;&u;]</a>");
    ParseResult r = parseFile(path);
    EXPECT_EQ(errorOf(r), "");
    EXPECT_EQ(r.events, "DOCTYPE a '' ''{D-ENTITY[<!ENTITY s SYSTEM \"secret.txt\">]"
                        "D-ENTITY[<!ENTITY u SYSTEM \"x.gif\" NDATA gif>]}<a t='[]'>T[[]]</>");
}

TEST_F(LocalSources, KeepsExternalParameterEntitiesOutOfEntityValues) {
    write("secret.txt", "top secret");
    std::string path = write("feed.xml", "<!DOCTYPE a [<!ENTITY % s SYSTEM \"secret.txt\">"
                                         "<!ENTITY leak \"[%s;]\">]><a>&leak;</a>");
    ParseResult r = parseFile(path);
    EXPECT_EQ(errorOf(r), "");
    EXPECT_TRUE(r.events.ends_with("<a>T[[]]</>")) << r.events;
}

TEST_F(LocalSources, NamesTheExternalSubsetInAnErrorFoundThere) {
    write("bad.dtd", "<!ENTITY ok 'x'>\n<!ENTITY bad 'a&#X41;'>");
    std::string path = write("feed.xml", "<!DOCTYPE a SYSTEM 'bad.dtd'><a/>");
    EXPECT_EQ(errorOf(parseFile(path)),
              "File: " + dir +
                  "bad.dtd. Line: 2 Col: 18 Error: Illegal character in reference: X (88)");
}

TEST(InternalSubset, ReportsEachDeclarationCommentAndInstructionAsWritten) {
    ParseResult r = parseText("<!DOCTYPE a [\n"
                              "  <!ELEMENT a (#PCDATA|b)*>\n"
                              "  <!ATTLIST a id ID #IMPLIED>\n"
                              "  <!-- note -->\n"
                              "  <?pi x?>\n"
                              "  <!NOTATION gif SYSTEM \"image/gif\">\n"
                              "  <!ENTITY % p \"<!ENTITY fromPe 'pe'>\">\n"
                              "  %p;\n"
                              "]>\n<a>&fromPe;</a>");
    EXPECT_EQ(errorOf(r), "");
    EXPECT_EQ(r.events, "DOCTYPE a '' ''{D-ELEMENT[<!ELEMENT a (#PCDATA|b)*>]"
                        "D-ATTLIST[<!ATTLIST a id ID #IMPLIED>]!--[ note ]?pi[x]"
                        "D-NOTATION[<!NOTATION gif SYSTEM \"image/gif\">]"
                        "D-ENTITY[<!ENTITY % p \"<!ENTITY fromPe 'pe'>\">]"
                        "D-ENTITY[<!ENTITY fromPe 'pe'>]}<a>T[pe]</>");
}

} // namespace
