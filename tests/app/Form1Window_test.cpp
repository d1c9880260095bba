// The window-level handlers: the close and page guards, the page follow-up,
// the half-and-half split, Help, and the error guard.
#include "form/FormFixture.h"

#include "app/ErrorGuard.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStyleOptionViewItem>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <stdexcept>

namespace {

void clickTab(QTabWidget* pages, int index) {
    QTabBar* bar = pages->tabBar();
    const QPointF at = bar->tabRect(index).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, bar->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, bar->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &release);
}

void pressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
}

const QString editPageMessage = QStringLiteral(
    "You are currently in Edit mode, please Save or Cancel your current changes before going to "
    "another page.");

} // namespace

class FormWindowTest : public FormFixture {};

TEST_F(FormWindowTest, CloseIsRefusedWhileEditing) {
    start();
    form->InViewMode = false;
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("You are currently in Edit mode, please Save or Cancel "
                                         "your current changes before exiting.")});

    form->InViewMode = true;
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(FormWindowTest, PageChangeIsRefusedWhileEditingAndTopicsStaysActive) {
    start();
    form->setActivePage(form->TopicsPage);
    form->InViewMode = false;

    clickTab(form->Page, 2);
    EXPECT_EQ(form->Page->currentWidget(), form->TopicsPage);
    EXPECT_EQ(dialogs.messages, QStringList{editPageMessage});

    pressKey(form->Page->tabBar(), Qt::Key_Right);
    pressKey(form->Page, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(form->Page->currentWidget(), form->TopicsPage);
    EXPECT_EQ(dialogs.messages.size(), 3);

    // A click on the page already shown asks nothing.
    clickTab(form->Page, 1);
    EXPECT_EQ(dialogs.messages.size(), 3);

    form->InViewMode = true;
    clickTab(form->Page, 3);
    EXPECT_EQ(form->Page->currentWidget(), form->AboutPage);
    EXPECT_EQ(dialogs.messages.size(), 3);
}

TEST_F(FormWindowTest, GoingToTopicsSelectsTheFirstTopicWhenNothingIsSelected) {
    writeFile(homePath("Default.xml"),
              feed("News", "<item><title>One</title><link/><description>S1</description></item>"
                           "<item><title>Two</title><link/><description>S2</description></item>"));
    start();
    form->QListBox->clearSelection();
    ASSERT_EQ(form->selectedNode(), nullptr);

    clickTab(form->Page, 1);

    ASSERT_EQ(form->Page->currentWidget(), form->TopicsPage);
    EXPECT_EQ(form->selectedNode(), form->channelNode()->child(0));
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("S1"));
}

TEST_F(FormWindowTest, GoingToTopicsOfAFeedWithoutItemsSelectsNothing) {
    writeFile(homePath("Default.xml"), feed("Empty", ""));
    start();
    ASSERT_EQ(form->selectedNode(), nullptr);
    clickTab(form->Page, 1);
    EXPECT_EQ(form->Page->currentWidget(), form->TopicsPage);
    EXPECT_EQ(form->selectedNode(), nullptr);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(FormWindowTest, TreeKeepsHalfOfTheTopicsPageWhenTheWindowWidens) {
    start();
    form->setActivePage(form->TopicsPage);
    for (int width : {640, 1001, 1500}) {
        form->resize(width, 600);
        QApplication::processEvents();
        EXPECT_EQ(form->QPanel->width(), form->BottomPanel->width() / 2) << width;
        EXPECT_EQ(form->TopicPanel->width(), form->BottomPanel->width() / 2) << width;
    }
}

TEST_F(FormWindowTest, HelpOpensQuillosOwnManualAsALocalFileThroughTheDesktop) {
    start();
    form->MHelp->trigger();
    ASSERT_EQ(dialogs.openedUrls.size(), 1);
    const QUrl help = dialogs.openedUrls.constFirst();
    ASSERT_TRUE(help.isLocalFile()) << help.toString().toStdString();
    EXPECT_TRUE(help.toLocalFile().endsWith(QStringLiteral("/manual.html")));
    const QByteArray manual = readFile(help.toLocalFile());
    EXPECT_TRUE(manual.contains("<title>Quillo manual</title>"));
    EXPECT_TRUE(form->AboutMemo->toPlainText().contains(help.toLocalFile()));
}

TEST_F(FormWindowTest, TheWindowShrinksBackInOneStep) {
    start();
    form->setActivePage(form->TopicsPage);
    for (int width : {1920, 640, 1500, 700}) {
        form->resize(width, 480);
        QApplication::processEvents();
        EXPECT_EQ(form->width(), width);
        EXPECT_EQ(form->QPanel->width(), form->BottomPanel->width() / 2) << width;
        EXPECT_EQ(form->TopicPanel->width(), form->BottomPanel->width() / 2) << width;
    }
}

TEST_F(FormWindowTest, MenusOpenWithTheirAccessKeysAndTypeNothing) {
    start();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->TitleEdit->setFocus();
    const QString title = form->TitleEdit->text();
    EXPECT_EQ(form->MProject->title(), QStringLiteral("&Publication"));
    EXPECT_EQ(form->MHelp->text(), QStringLiteral("&Help"));

    QTest::keyClick(form->TitleEdit, Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->MProject->isVisible(); }));
    EXPECT_EQ(form->TitleEdit->text(), title);
    form->MProject->close();

    QTest::keyClick(form->TitleEdit, Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(dialogs.openedUrls.size(), 1);
    EXPECT_EQ(form->TitleEdit->text(), title);
}

TEST_F(FormWindowTest, TabNeverStopsOnAHiddenOrCoveredControl) {
    writeFile(homePath("Default.xml"),
              feed("News", "<item><title>One</title><link/><description>S1</description></item>"));
    start();
    form->setActivePage(form->TopicsPage);
    form->QListBox->setFocus();
    const QList<QWidget*> covered{form->TopicLink,     form->TopicAuthor, form->TopicEnclosure,
                                  form->TopicComments, form->TopicGUID,   form->AMemo};
    for (int stop = 0; stop < 40; ++stop) {
        QWidget* focused = form->focusWidget();
        ASSERT_NE(focused, nullptr);
        EXPECT_TRUE(focused->isVisible()) << focused->metaObject()->className() << " " << stop;
        for (QWidget* field : covered)
            EXPECT_FALSE(focused == field || field->isAncestorOf(focused)) << stop;
        QTest::keyClick(focused, Qt::Key_Tab);
    }
}

TEST_F(FormWindowTest, HourAndDayListsFitEveryEntryInALargeFont) {
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSize(14);
    QApplication::setFont(large);
    start();
    for (QListWidget* list : {form->HoursCheckListBox, form->DaysCheckListBox}) {
        for (int i = 0; i < list->count(); ++i) {
            QStyleOptionViewItem option;
            option.initFrom(list);
            option.font = list->font();
            const QSize needed = list->itemDelegate()->sizeHint(option, list->model()->index(i, 0));
            const QRect cell = list->visualItemRect(list->item(i));
            EXPECT_GE(cell.width(), needed.width()) << list->item(i)->text().toStdString();
            EXPECT_GE(cell.height(), needed.height()) << list->item(i)->text().toStdString();
        }
    }
    QApplication::setFont(before);
}

TEST_F(FormWindowTest, TheAboutPageHoldsRealFacts) {
    start();
    const QStringList lines = form->AboutMemo->toPlainText().split(u'\n');
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], QStringLiteral("Quillo Version 1.0"));
    EXPECT_TRUE(
        lines[1].contains(QStringLiteral("GNU General Public License, version 3 or later")));
    EXPECT_EQ(lines[2], QStringLiteral("Program directory: ") + homePath());
    EXPECT_EQ(lines[3], QStringLiteral("Settings file: ") + homePath("quillo.ini"));
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
    EXPECT_TRUE(lines[4].contains(QStringLiteral("libcurl ")));
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral("Manual: /")));
    EXPECT_EQ(lines[6], QStringLiteral(" "));
}

TEST(ErrorGuardTest, FailuresAreShownWithAFullStopAndStopOnlyTheHandler) {
    ScriptedDialogs dialogs;
    runGuarded(dialogs, [] { throw std::runtime_error("Cannot open file /x/news.bak"); });
    runGuarded(dialogs, [] { throw std::runtime_error("HTTP component is busy."); });
    runGuarded(dialogs, [] { throw TXmlDOMException(TXmlDOMException::NOT_FOUND_ERR); });
    bool ran = false;
    runGuarded(dialogs, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(dialogs.messages, (QStringList{QStringLiteral("Cannot open file /x/news.bak."),
                                             QStringLiteral("HTTP component is busy."),
                                             QStringLiteral("XML document error 8.")}));
}
