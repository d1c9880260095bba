#include "editing/SynopsisText.h"

#include <gtest/gtest.h>

namespace {

TEST(SynopsisText, SearchAndReplaceStartsAgainFromTheLeftAfterEveryReplacement) {
    const struct {
        QString text, find, replace, result;
    } cases[] = {
        {"a   b", "   ", "", "ab"},
        {"     ", "   ", "", "  "},  // five spaces leave two
        {"       ", "   ", "", " "}, // seven leave one
        {"      ", "   ", "", ""},   // six leave none
        {"a      b", "   ", "\n", "a\n\nb"},
        // What surrounded a removed occurrence joins into a new one.
        {"aabb", "ab", "", ""},
        {"xaabby", "ab", "", "xy"},
        {"no match", "   ", "", "no match"},
        {"", "   ", "", ""},
        {"abc", "", "x", "abc"}, // an empty find changes nothing
        // A replace holding find is one pass, never an endless loop.
        {"aXa", "a", "aa", "aaXaa"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(searchAndReplace(c.text, c.find, c.replace), c.result)
            << c.text.toStdString() << " / " << c.find.toStdString();
}

TEST(SynopsisText, StoredFormWritesEachLineBreakAsThreeSpaces) {
    const struct {
        QString memo, stored;
    } cases[] = {
        {"a\nb", "a   b"},
        {"a\r\nb", "a   b"},
        {"a\rb", "a   b"},
        {"a\n\nb", "a      b"},
        {"a     b", "a  b"}, // a typed run of five spaces comes back as two
        {"a   b", "ab"},     // a typed run of three disappears
        {"", ""},
        {"   ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(storedSynopsis(c.memo), c.stored) << c.memo.toStdString();
}

TEST(SynopsisText, EditableFormShowsThreeSpacesAsLineBreaks) {
    EXPECT_EQ(editableSynopsis("a   b"), "a\nb");
    EXPECT_EQ(editableSynopsis("a  b"), "a  b");
    EXPECT_EQ(editableSynopsis("a      b"), "a\n\nb");
    EXPECT_EQ(editableSynopsis(storedSynopsis("one\ntwo\nthree")), "one\ntwo\nthree");
    EXPECT_EQ(withoutThreeSpaceRuns("a     b\nc"), "a  b\nc");
}

} // namespace
