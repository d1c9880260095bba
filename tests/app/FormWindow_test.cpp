// The window-level handlers: the close and page guards, the page follow-up,
// the half-and-half split, Help, and the error guard.
#include "FormFixture.h"

#include "app/ErrorGuard.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
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

TEST_F(FormWindowTest, HelpOpensTheHelpPageThroughTheDesktop) {
    start();
    form->MHelp->trigger();
    ASSERT_EQ(dialogs.openedUrls.size(), 1);
    const QUrl help = dialogs.openedUrls.constFirst();
    EXPECT_EQ(help.scheme(), QStringLiteral("http"));
    EXPECT_EQ(help.path(), QStringLiteral("/quillo/help_main.php"));
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
