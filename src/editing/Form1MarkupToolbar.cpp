// TForm1's synopsis markup toolbar: ten buttons and the Enter key put HTML into
// the memo that has the focus. The text goes straight into the memo, as one
// step of its undo history; the clipboard is never read or changed, so what
// the user copied is still there to paste.
#include "app/Form1.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>

namespace {

// The selection as plain text: the document's paragraph separators become
// line breaks.
QString selectedPlainText(const QTextCursor& cursor) {
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

} // namespace

void TForm1::wireMarkupToolbar() {
    connectGuarded(ParagraphButton, &QToolButton::clicked, &TForm1::ParagraphButtonClick);
    connectGuarded(OrderedListButton, &QToolButton::clicked, &TForm1::OrderedListButtonClick);
    connectGuarded(UnorderedListButton, &QToolButton::clicked, &TForm1::UnorderedListButtonClick);
    connectGuarded(ListButton, &QToolButton::clicked, &TForm1::ListButtonClick);
    connectGuarded(FarAnchorButton, &QToolButton::clicked, &TForm1::FarAnchorButtonClick);
    connectGuarded(QuoteButton, &QToolButton::clicked, &TForm1::QuoteButtonClick);
    connectGuarded(BlankSpaceButton, &QToolButton::clicked, &TForm1::BlankSpaceButtonClick);
    connectGuarded(BoldButton, &QToolButton::clicked, &TForm1::BoldButtonClick);
    connectGuarded(ItalicButton, &QToolButton::clicked, &TForm1::ItalicButtonClick);
    connectGuarded(UnderlineButton, &QToolButton::clicked, &TForm1::UnderlineButtonClick);
    watchEvents(AMemo, &TForm1::MemoKeyEvent);
    watchEvents(QMemo, &TForm1::MemoKeyEvent);
}

QPlainTextEdit* TForm1::CurrentMemo() const {
    if (AMemo->hasFocus())
        return AMemo;
    if (QMemo->hasFocus())
        return QMemo;
    return NoMemo;
}

void TForm1::insertMarkup(TMarkup markup) {
    QPlainTextEdit* memo = CurrentMemo();
    // The synopsis memo is read-only while viewing: it shows the stored text.
    if (memo->isReadOnly())
        return;
    QTextCursor cursor = memo->textCursor();
    const TMarkupInsertion insertion = markupInsertion(markup, selectedPlainText(cursor));
    // Undo afterwards takes back exactly this insertion, nothing typed before.
    memo->document()->clearUndoRedoStacks();
    cursor.insertText(insertion.text);
    cursor.setPosition(cursor.position() - insertion.caretBack);
    memo->setTextCursor(cursor);
    memo->ensureCursorVisible();
}

void TForm1::ParagraphButtonClick() {
    insertMarkup(TMarkup::Paragraph);
}

void TForm1::OrderedListButtonClick() {
    insertMarkup(TMarkup::OrderedList);
}

void TForm1::UnorderedListButtonClick() {
    insertMarkup(TMarkup::UnorderedList);
}

void TForm1::ListButtonClick() {
    insertMarkup(TMarkup::ListItem);
}

void TForm1::FarAnchorButtonClick() {
    insertMarkup(TMarkup::FarAnchor);
}

void TForm1::QuoteButtonClick() {
    insertMarkup(TMarkup::Quote);
}

void TForm1::BlankSpaceButtonClick() {
    insertMarkup(TMarkup::BlankSpace);
}

void TForm1::BoldButtonClick() {
    insertMarkup(TMarkup::Bold);
}

void TForm1::ItalicButtonClick() {
    insertMarkup(TMarkup::Italic);
}

void TForm1::UnderlineButtonClick() {
    insertMarkup(TMarkup::Underline);
}

bool TForm1::MemoKeyEvent(QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    bool handled = false;
    guarded([&] { handled = AMemoKeyDown(key->key(), key->modifiers()); });
    return handled;
}

bool TForm1::AMemoKeyDown(int Key, Qt::KeyboardModifiers Shift) {
    if (Key != Qt::Key_Return && Key != Qt::Key_Enter)
        return false;
    QPlainTextEdit* memo = CurrentMemo();
    if (memo == NoMemo || memo->isReadOnly())
        return false;
    // The Enter of the keypad counts as Enter.
    const Qt::KeyboardModifiers held = Shift & ~Qt::KeypadModifier;
    if (held != Qt::ControlModifier)
        insertMarkup(TMarkup::LineBreak);
    // The line break is put in here for every combination, so each one gives
    // the same plain line break (the memo itself would give none for Ctrl and
    // a soft one for Shift).
    QTextCursor cursor = memo->textCursor();
    cursor.insertText(QStringLiteral("\n"));
    memo->setTextCursor(cursor);
    memo->ensureCursorVisible();
    return true;
}
