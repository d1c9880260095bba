// The markup texts and caret moves of the toolbar and the Enter key.
#include "editing/MarkupText.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct MarkupCase {
    const char* what;
    TMarkup markup;
    const char* text;
    int selectionStart;
    int selectionEnd;
    const char* expected; // the caret is shown as |
};

void PrintTo(const MarkupCase& c, std::ostream* out) {
    *out << c.what;
}

QString withCaret(const TMarkupEdit& edit) {
    return edit.text.left(edit.caret) + u'|' + edit.text.mid(edit.caret);
}

class MarkupTextTest : public ::testing::TestWithParam<MarkupCase> {};

} // namespace

TEST_P(MarkupTextTest, ReplacesTheSelectionAndPlacesTheCaret) {
    const MarkupCase& c = GetParam();
    const TMarkupEdit edit =
        applyMarkup(c.markup, QString::fromUtf8(c.text), c.selectionStart, c.selectionEnd);
    EXPECT_EQ(withCaret(edit).toStdString(), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    EveryAction, MarkupTextTest,
    ::testing::Values(
        MarkupCase{"paragraph with nothing selected", TMarkup::Paragraph, "ab", 1, 1, "a<p />\n|b"},
        MarkupCase{"paragraph around a selection", TMarkup::Paragraph, "a word b", 2, 6,
                   "a <p>word</p>\n| b"},
        MarkupCase{"ordered list of several lines in one item", TMarkup::OrderedList, "one\ntwo", 0,
                   7, "<ol>\n<li>one\ntwo|</li>\n</ol>"},
        MarkupCase{"ordered list with nothing selected", TMarkup::OrderedList, "", 0, 0,
                   "<ol>\n<li>|</li>\n</ol>"},
        MarkupCase{"unordered list", TMarkup::UnorderedList, "x", 0, 1, "<ul>\n<li>x|</li>\n</ul>"},
        MarkupCase{"list item", TMarkup::ListItem, "x", 0, 1, "<li>x|</li>\n"},
        MarkupCase{"link with nothing selected waits for its text", TMarkup::FarAnchor, "", 0, 0,
                   "<a href=\"\">|</a>"},
        MarkupCase{"link of a selected address shows the address", TMarkup::FarAnchor,
                   "see http://q.example/ now", 4, 21,
                   "see <a href=\"http://q.example/\">http://q.example/</a>| now"},
        MarkupCase{"quote", TMarkup::Quote, "said", 0, 4, "<blockquote>said|</blockquote>"},
        MarkupCase{"blank space replaces the selection", TMarkup::BlankSpace, "a-b", 1, 2,
                   "a&nbsp;|b"},
        MarkupCase{"bold wraps a word", TMarkup::Bold, "a word", 2, 6, "a <b>word|</b>"},
        MarkupCase{"bold with the selection made backwards", TMarkup::Bold, "a word", 6, 2,
                   "a <b>word|</b>"},
        MarkupCase{"bold with nothing selected", TMarkup::Bold, "ab", 1, 1, "a<b>|</b>b"},
        MarkupCase{"italic", TMarkup::Italic, "w", 0, 1, "<i>w|</i>"},
        MarkupCase{"underline", TMarkup::Underline, "w", 0, 1, "<u>w|</u>"},
        MarkupCase{"line break tag at the caret", TMarkup::LineBreak, "ab", 2, 2, "ab<br />|"},
        MarkupCase{"line break tag replaces a selection", TMarkup::LineBreak, "abc", 1, 2,
                   "a<br />|c"},
        MarkupCase{"a selection past the end is clamped", TMarkup::Bold, "ab", 1, 99,
                   "a<b>b|</b>"}));

TEST(MarkupInsertionTest, MovesTheCaretBackOverTheClosingTagOnly) {
    EXPECT_EQ(markupInsertion(TMarkup::OrderedList, QStringLiteral("x")).caretBack, 11);
    EXPECT_EQ(markupInsertion(TMarkup::ListItem, QStringLiteral("x")).caretBack, 6);
    EXPECT_EQ(markupInsertion(TMarkup::Quote, QStringLiteral("x")).caretBack, 13);
    EXPECT_EQ(markupInsertion(TMarkup::FarAnchor, QString()).caretBack, 4);
    EXPECT_EQ(markupInsertion(TMarkup::FarAnchor, QStringLiteral("x")).caretBack, 0);
}
