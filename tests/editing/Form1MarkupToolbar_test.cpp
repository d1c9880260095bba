// The markup toolbar and the Enter key while a topic is edited: the text that
// lands in the focused memo, the caret, the undo step, and the clipboard that
// stays as the user left it.
#include "form/FormFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const QString keptOnClipboard = QStringLiteral("http://keep.example/copied");

// The memo's text with the caret shown as |.
QString withCaret(const QPlainTextEdit* memo) {
    const QString text = memo->toPlainText();
    const int caret = memo->textCursor().position();
    return text.left(caret) + u'|' + text.mid(caret);
}

} // namespace

class FormMarkupToolbarTest : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        const QString feedPath = homePath(QStringLiteral("news.xml"));
        writeFile(feedPath, feed("News", "<item><title>A</title><link/><description>S"
                                         "</description></item>"));
        TIniFile ini = settings();
        ini.writeString(QStringLiteral("Publication"), QStringLiteral("FilePath"), feedPath);
        start();
        form->setActivePage(form->TopicsPage);
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->selectNode(form->channelNode()->child(0));
        // The editing state, as the topic editor enters it.
        form->EditBtnClick(form->EditBtn);
        ASSERT_FALSE(form->InViewMode);
        ASSERT_TRUE(form->RightPanel->isVisible());
        QGuiApplication::clipboard()->setText(keptOnClipboard);
    }

    // Puts text into the memo, selects [start, end) and gives it the focus.
    void prepare(QPlainTextEdit* memo, const QString& text, int start, int end) {
        memo->setPlainText(text);
        QTextCursor cursor = memo->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        memo->setTextCursor(cursor);
        memo->setFocus();
        ASSERT_TRUE(memo->hasFocus());
    }

    QToolButton* button(const char* name) const {
        const QMap<QString, QToolButton*> buttons{{"Paragraph", form->ParagraphButton},
                                                  {"OrderedList", form->OrderedListButton},
                                                  {"UnorderedList", form->UnorderedListButton},
                                                  {"List", form->ListButton},
                                                  {"FarAnchor", form->FarAnchorButton},
                                                  {"Quote", form->QuoteButton},
                                                  {"BlankSpace", form->BlankSpaceButton},
                                                  {"Bold", form->BoldButton},
                                                  {"Italic", form->ItalicButton},
                                                  {"Underline", form->UnderlineButton}};
        return buttons.value(QString::fromUtf8(name));
    }
};

struct ButtonCase {
    const char* button;
    bool headlineMemo; // QMemo rather than AMemo
    const char* text;
    int start;
    int end;
    const char* expected; // caret as |
};

class FormMarkupButtonTest : public FormMarkupToolbarTest,
                             public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(FormMarkupButtonTest, AClickPutsTheMarkupIntoTheFocusedMemo) {
    const ButtonCase& c = GetParam();
    QPlainTextEdit* memo = c.headlineMemo ? form->QMemo : form->AMemo;
    prepare(memo, QString::fromUtf8(c.text), c.start, c.end);
    QToolButton* pressed = button(c.button);
    ASSERT_NE(pressed, nullptr);
    QTest::mouseClick(pressed, Qt::LeftButton);
    EXPECT_EQ(withCaret(memo), QString::fromUtf8(c.expected)) << c.button;
    EXPECT_TRUE(memo->hasFocus()) << c.button;
    EXPECT_EQ(QGuiApplication::clipboard()->text(), keptOnClipboard) << c.button;
}

INSTANTIATE_TEST_SUITE_P(
    EveryButton, FormMarkupButtonTest,
    ::testing::Values(ButtonCase{"Bold", false, "a word here", 2, 6, "a <b>word|</b> here"},
                      ButtonCase{"Bold", true, "Head line", 5, 9, "Head <b>line|</b>"},
                      ButtonCase{"Italic", false, "w", 0, 1, "<i>w|</i>"},
                      ButtonCase{"Underline", false, "w", 0, 1, "<u>w|</u>"},
                      ButtonCase{"Quote", false, "said", 0, 4, "<blockquote>said|</blockquote>"},
                      ButtonCase{"FarAnchor", false, "", 0, 0, "<a href=\"\">|</a>"},
                      ButtonCase{"FarAnchor", false, "http://q.example/", 0, 17,
                                 "<a href=\"http://q.example/\">http://q.example/</a>|"},
                      ButtonCase{"Paragraph", false, "ab", 2, 2, "ab<p />\n|"},
                      ButtonCase{"Paragraph", false, "ab", 0, 2, "<p>ab</p>\n|"},
                      ButtonCase{"OrderedList", false, "one\ntwo", 0, 7,
                                 "<ol>\n<li>one\ntwo|</li>\n</ol>"},
                      ButtonCase{"UnorderedList", false, "x", 0, 1, "<ul>\n<li>x|</li>\n</ul>"},
                      ButtonCase{"List", false, "x", 0, 1, "<li>x|</li>\n"},
                      ButtonCase{"BlankSpace", false, "a-b", 1, 2, "a&nbsp;|b"}));

TEST_F(FormMarkupToolbarTest, OneUndoTakesBackExactlyTheInsertion) {
    prepare(form->AMemo, QString(), 0, 0);
    QTest::keyClicks(form->AMemo, QStringLiteral("typed word"));
    QTextCursor cursor = form->AMemo->textCursor();
    cursor.setPosition(6);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    form->AMemo->setTextCursor(cursor);
    QTest::mouseClick(form->BoldButton, Qt::LeftButton);
    ASSERT_EQ(form->AMemo->toPlainText(), QStringLiteral("typed <b>word</b>"));

    form->AMemo->undo();
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("typed word"));
    // What was typed before the click is no longer in the undo history.
    form->AMemo->undo();
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("typed word"));
}

TEST_F(FormMarkupToolbarTest, WithNeitherMemoFocusedTheButtonsChangeNothing) {
    prepare(form->AMemo, QStringLiteral("synopsis"), 0, 8);
    form->QMemo->setPlainText(QStringLiteral("headline"));
    form->TopicLink->setText(QStringLiteral("http://link/"));
    form->TopicLink->setFocus();
    ASSERT_EQ(form->CurrentMemo(), form->NoMemo);
    for (QToolButton* b : form->RightPanel->findChildren<QToolButton*>())
        QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("synopsis"));
    EXPECT_EQ(form->QMemo->toPlainText(), QStringLiteral("headline"));
    EXPECT_EQ(form->TopicLink->text(), QStringLiteral("http://link/"));
    EXPECT_TRUE(form->TopicLink->hasFocus());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), keptOnClipboard);
}

TEST_F(FormMarkupToolbarTest, NoButtonTakesTheFocus) {
    const QList<QToolButton*> buttons = form->RightPanel->findChildren<QToolButton*>();
    EXPECT_EQ(buttons.size(), 10);
    for (QToolButton* b : buttons)
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->toolTip().toStdString();
}

struct EnterCase {
    const char* what;
    bool headlineMemo;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* expected;
};

class FormMarkupEnterTest : public FormMarkupToolbarTest,
                            public ::testing::WithParamInterface<EnterCase> {};

TEST_P(FormMarkupEnterTest, EnterPutsALineBreakTagBeforeTheLineBreak) {
    const EnterCase& c = GetParam();
    QPlainTextEdit* memo = c.headlineMemo ? form->QMemo : form->AMemo;
    prepare(memo, QStringLiteral("ab"), 2, 2);
    QTest::keyClick(memo, c.key, c.modifiers);
    EXPECT_EQ(withCaret(memo), QString::fromUtf8(c.expected)) << c.what;
    EXPECT_EQ(QGuiApplication::clipboard()->text(), keptOnClipboard) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FormMarkupEnterTest,
    ::testing::Values(
        EnterCase{"Enter", false, Qt::Key_Return, Qt::NoModifier, "ab<br />\n|"},
        EnterCase{"Shift+Enter", false, Qt::Key_Return, Qt::ShiftModifier, "ab<br />\n|"},
        EnterCase{"Ctrl+Shift+Enter", false, Qt::Key_Return,
                  Qt::ControlModifier | Qt::ShiftModifier, "ab<br />\n|"},
        EnterCase{"Ctrl+Enter alone", false, Qt::Key_Return, Qt::ControlModifier, "ab\n|"},
        EnterCase{"keypad Enter", false, Qt::Key_Enter, Qt::KeypadModifier, "ab<br />\n|"},
        EnterCase{"Ctrl with keypad Enter", false, Qt::Key_Enter,
                  Qt::ControlModifier | Qt::KeypadModifier, "ab\n|"},
        EnterCase{"Enter in the headline memo", true, Qt::Key_Return, Qt::NoModifier,
                  "ab<br />\n|"}));

TEST_F(FormMarkupToolbarTest, EnterReplacesTheSelection) {
    prepare(form->AMemo, QStringLiteral("abc"), 1, 2);
    QTest::keyClick(form->AMemo, Qt::Key_Return);
    EXPECT_EQ(withCaret(form->AMemo), QStringLiteral("a<br />\n|c"));
}
