// Replays inputs that once broke the reader (kept in tests/data/xml/fuzz):
// each must load without fault, and give the same reports and message
// whether it is read through a large or a tiny input buffer.

#include "xml/XmlParserTestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

std::string messageOf(const ParseResult& r) {
    if (r.errors.empty())
        return "";
    const std::string& line = r.errors.back();
    std::size_t at = line.find(" Error: ");
    return at == std::string::npos ? line : line.substr(at);
}

TEST(FuzzRegressions, ReadTheSameWhateverTheBufferSize) {
    std::filesystem::path dir = std::filesystem::path(QUILLO_TEST_DATA) / "xml" / "fuzz";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ParseResult large = parseText(bytes);
        TXmlReaderSettings tiny;
        tiny.bufferSize = 5;
        ParseResult small = parseText(bytes, tiny);
        EXPECT_EQ(small.events, large.events) << entry.path();
        EXPECT_EQ(messageOf(small), messageOf(large)) << entry.path();
        ++count;
    }
    EXPECT_GT(count, 0);
}

} // namespace
