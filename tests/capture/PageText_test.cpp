#include "capture/PageText.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

struct ChunkCase {
    const char* name;
    std::string buffer;
    int len;
    std::string expected;
};

void PrintTo(const ChunkCase& c, std::ostream* os) {
    *os << c.name;
}

class CaptureChunk : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(CaptureChunk, EndsAtTheFirstZeroByteOrItsLength) {
    const ChunkCase& c = GetParam();
    EXPECT_EQ(chunkText(c.buffer.data(), c.len), bytes(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureChunk,
    ::testing::Values(ChunkCase{"WholeChunkBeforeItsZero", std::string("<p>Page\0", 8), 7,
                                "<p>Page"},
                      ChunkCase{"ZeroInsideThePage", std::string("ab\0cd\0", 6), 5, "ab"},
                      ChunkCase{"ZeroFirst", std::string("\0abc", 4), 4, ""},
                      ChunkCase{"NoZeroWithinTheLength", "abcdef", 3, "abc"},
                      ChunkCase{"NothingReceived", "abc", 0, ""},
                      ChunkCase{"NegativeLength", "abc", -1, ""},
                      ChunkCase{"BytesAboveAscii", "caf\xC3\xA9\xE9", 6, "caf\xC3\xA9\xE9"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CapturePageBytes, ChunksJoinWithNothingBetween) {
    const QByteArrayList chunks = {"<a hr", "ef=\"http://e.com/x\">Sto", "ry</a>\r\n", "", "x"};
    EXPECT_EQ(joinChunks(chunks), QByteArray("<a href=\"http://e.com/x\">Story</a>\r\nx"));
    EXPECT_EQ(joinChunks({}), QByteArray());
}

TEST(CapturePageBytes, AUtf8LetterSplitAcrossChunksDecodesWhole) {
    const QByteArrayList chunks = {"Caf\xC3", "\xA9"};
    EXPECT_EQ(decodePage(joinChunks(chunks), QString()), QStringLiteral(u"Café"));
}

struct ContentTypeCase {
    const char* contentType;
    const char* expected;
};

class CaptureContentType : public ::testing::TestWithParam<ContentTypeCase> {};

TEST_P(CaptureContentType, ReadsTheCharsetParameter) {
    EXPECT_EQ(charsetOfContentType(QString::fromLatin1(GetParam().contentType)),
              QByteArray(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureContentType,
    ::testing::Values(ContentTypeCase{"text/html; charset=ISO-8859-1", "ISO-8859-1"},
                      ContentTypeCase{"text/html;charset=\"utf-8\"", "utf-8"},
                      ContentTypeCase{"text/html; CharSet = koi8-r ; x=y", "koi8-r"},
                      ContentTypeCase{"text/html; charset='utf-8'", "utf-8"},
                      ContentTypeCase{"text/html; charset=", ""},
                      ContentTypeCase{"text/html; charset", ""}, ContentTypeCase{"text/html", ""},
                      ContentTypeCase{"", ""}));

struct MetaCase {
    const char* name;
    const char* page;
    const char* expected;
};

void PrintTo(const MetaCase& c, std::ostream* os) {
    *os << c.page;
}

class CaptureMetaCharset : public ::testing::TestWithParam<MetaCase> {};

TEST_P(CaptureMetaCharset, NamesTheFirstKnownDeclaration) {
    EXPECT_EQ(metaCharset(QByteArray(GetParam().page)), QByteArray(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureMetaCharset,
    ::testing::Values(
        MetaCase{"CharsetAttribute", R"(<head><meta charset="utf-8"></head>)", "UTF-8"},
        MetaCase{"UnquotedInCapitals", "<META CHARSET=UTF-8>", "UTF-8"},
        MetaCase{"SingleQuotes", "<meta charset='ISO-8859-2'>", "ISO-8859-2"},
        MetaCase{"HttpEquiv",
                 R"(<meta http-equiv="Content-Type" content="text/html; charset=ISO-8859-2">)",
                 "ISO-8859-2"},
        MetaCase{"ContentBeforeHttpEquiv",
                 R"(<meta content="text/html; charset=koi8-r" http-equiv="content-type"/>)",
                 "KOI8-R"},
        MetaCase{"LatinNamesReadAsWindows1252", R"(<meta charset="iso-8859-1">)", "windows-1252"},
        MetaCase{"ContentWithoutHttpEquiv", R"(<meta name="x" content="charset=koi8-r">)", ""},
        MetaCase{"CommentedOutDeclaration",
                 R"(<!-- <meta charset="koi8-r"> --><meta charset="utf-8">)", "UTF-8"},
        MetaCase{"UnknownNameThenKnown", R"(<meta charset="no-such-set"><meta charset="utf-8">)",
                 "UTF-8"},
        MetaCase{"Utf16ReadsAsUtf8", R"(<meta charset="utf-16le">)", "UTF-8"},
        MetaCase{"OtherTagNamedLikeMeta", R"(<metadata charset="koi8-r">)", ""},
        MetaCase{"NoDeclaration", "<html><body>Text</body></html>", ""},
        MetaCase{"TagCutShort", "<meta charset=", ""},
        MetaCase{"UnclosedComment", R"(<!-- <meta charset="koi8-r">)", ""},
        MetaCase{"EmptyPage", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct Utf8Case {
    const char* name;
    std::string bytes;
    bool valid;
};

void PrintTo(const Utf8Case& c, std::ostream* os) {
    *os << c.name;
}

class CaptureUtf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(CaptureUtf8, AcceptsOnlyWellFormedBytes) {
    EXPECT_EQ(isValidUtf8(bytes(GetParam().bytes)), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(Cases, CaptureUtf8,
                         ::testing::Values(Utf8Case{"Empty", "", true},
                                           Utf8Case{"Ascii", "abc", true},
                                           Utf8Case{"TwoBytes", "caf\xC3\xA9", true},
                                           Utf8Case{"ThreeBytes", "\xE2\x82\xAC", true},
                                           Utf8Case{"FourBytes", "\xF0\x9F\x98\x80", true},
                                           Utf8Case{"Latin1Letter", "caf\xE9", false},
                                           Utf8Case{"LoneContinuation", "\x80", false},
                                           Utf8Case{"OverlongTwo", "\xC0\xAF", false},
                                           Utf8Case{"OverlongThree", "\xE0\x80\xAF", false},
                                           Utf8Case{"OverlongFour", "\xF0\x80\x80\xAF", false},
                                           Utf8Case{"Surrogate", "\xED\xA0\x80", false},
                                           Utf8Case{"AboveUnicode", "\xF4\x90\x80\x80", false},
                                           Utf8Case{"CutShort", "\xE2\x82", false},
                                           Utf8Case{"MissingContinuation", "\xE2\x41\xAC", false},
                                           Utf8Case{"FiveByteForm", "\xF8\x88\x80\x80\x80", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DecodeCase {
    const char* name;
    std::string page;
    const char* contentType;
    const char* charset;
    const char* text; // UTF-8
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class CaptureDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(CaptureDecode, ReadsThePageInItsOwnCharacterSet) {
    const DecodeCase& c = GetParam();
    const QByteArray page = bytes(c.page);
    EXPECT_EQ(pageCharset(page, QString::fromLatin1(c.contentType)), QByteArray(c.charset));
    EXPECT_EQ(decodePage(page, QString::fromLatin1(c.contentType)), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureDecode,
    ::testing::Values(
        DecodeCase{"ValidUtf8WithoutDeclaration", "Caf\xC3\xA9", "", "UTF-8", "Café"},
        DecodeCase{"AsciiIsUtf8", "News", "text/html", "UTF-8", "News"},
        DecodeCase{"InvalidUtf8IsWindows1252", "Caf\xE9 \x93quoted\x94 \x80", "", "windows-1252",
                   "Café “quoted” €"},
        DecodeCase{"UndefinedWindows1252BytesStayControls", "\x81\x8D\x8F\x90\x9D", "",
                   "windows-1252", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        DecodeCase{"ContentTypeLatin1", "Caf\xE9", "text/html; charset=ISO-8859-1", "windows-1252",
                   "Café"},
        DecodeCase{"ContentTypeBeatsMeta", "<meta charset=\"utf-8\">\xE9",
                   "text/html; charset=windows-1252", "windows-1252", "<meta charset=\"utf-8\">é"},
        DecodeCase{"ContentTypeBeatsValidUtf8", "\xC3\xA9", "text/html; charset=iso-8859-1",
                   "windows-1252", "Ã©"},
        DecodeCase{"UnknownContentTypeFallsToMeta", "<meta charset=\"iso-8859-2\">\xB1",
                   "text/html; charset=x-unknown", "ISO-8859-2", "<meta charset=\"iso-8859-2\">ą"},
        DecodeCase{"MetaBeatsValidUtf8", "<meta charset=\"iso-8859-1\">\xC3\xA9", "",
                   "windows-1252", "<meta charset=\"iso-8859-1\">Ã©"},
        DecodeCase{"DeclaredUtf8WithBadBytes", "a\xE9z", "text/html; charset=utf-8", "UTF-8",
                   "a\xEF\xBF\xBDz"},
        DecodeCase{"ByteOrderMarkDropped", "\xEF\xBB\xBF<p>x", "", "UTF-8", "<p>x"},
        DecodeCase{"Koi8r", "\xF0\xD2\xC9\xD7\xC5\xD4", "text/html; charset=KOI8-R", "KOI8-R",
                   "Привет"},
        DecodeCase{"EmptyPage", "", "", "UTF-8", ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
