#pragma once
// The HTML that the markup toolbar and the Enter key put into a memo, and
// where the caret goes afterwards. Plain functions over text: a line break is
// "\n" and counts as one character, as in the memo itself.

#include <QString>

enum class TMarkup {
    Paragraph,
    OrderedList,
    UnorderedList,
    ListItem,
    FarAnchor,
    Quote,
    BlankSpace,
    Bold,
    Italic,
    Underline,
    LineBreak, // the Enter key: the tag that goes before the memo's own line break
};

struct TMarkupInsertion {
    QString text;      // replaces the selection
    int caretBack = 0; // characters from the end of text back to the caret
};

// What replaces the selected text (empty when nothing is selected).
TMarkupInsertion markupInsertion(TMarkup markup, const QString& selected);

struct TMarkupEdit {
    QString text;
    int caret = 0;
};

// The memo text after the insertion replaced text[selectionStart,
// selectionEnd), and the caret. The selection may be given either way round;
// positions outside the text are clamped to it.
TMarkupEdit applyMarkup(TMarkup markup, const QString& text, int selectionStart, int selectionEnd);
