// The handlers of the window as a whole: the close and page guards, the page
// follow-up, the Topics page split and Help.
#include "app/Form1.h"

#include "app/AppMessages.h"
#include "app/Dialogs.h"
#include "app/ProgramDir.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

bool isPageNavigationKey(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

bool isPageSwitchShortcut(const QKeyEvent* key) {
    if (!(key->modifiers() & Qt::ControlModifier))
        return false;
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

void TForm1::wireWindow() {
    connectGuarded(MHelp, &QAction::triggered, &TForm1::MHelpClick);
    connectGuarded(Page, &QTabWidget::currentChanged, &TForm1::PageChange);
    watchEvents(Page->tabBar(), &TForm1::PageTabsEvent);
    watchEvents(Page, &TForm1::PageEvent);
    watchEvents(BottomPanel, &TForm1::TopicsSplitEvent);
    watchEvents(TopicsSplit, &TForm1::TopicsSplitEvent);
}

bool TForm1::PageTabsEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* press = static_cast<QMouseEvent*>(event);
        const int index = Page->tabBar()->tabAt(press->position().toPoint());
        return index >= 0 && index != Page->currentIndex() && pageChangeRefused();
    }
    case QEvent::Wheel:
        // The wheel flips through the pages; while editing it must not.
        return !InViewMode;
    case QEvent::KeyPress:
        return isPageNavigationKey(static_cast<QKeyEvent*>(event)) && pageChangeRefused();
    default:
        return false;
    }
}

bool TForm1::PageEvent(QEvent* event) {
    return event->type() == QEvent::KeyPress &&
           isPageSwitchShortcut(static_cast<QKeyEvent*>(event)) && pageChangeRefused();
}

bool TForm1::TopicsSplitEvent(QEvent* event) {
    if (event->type() == QEvent::Resize)
        guarded([this] { BottomPanelResize(); });
    return false;
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    guarded([&] { FormCloseQuery(canClose); });
    event->setAccepted(canClose);
}

void TForm1::FormCloseQuery(bool& CanClose) {
    if (!InViewMode) {
        dialogs_.showMessage(AppMessages::editModeExit());
        CanClose = false;
    }
}

void TForm1::PageChanging(bool& AllowChange) {
    if (!InViewMode) {
        dialogs_.showMessage(AppMessages::editModePage());
        AllowChange = false;
    }
}

bool TForm1::pageChangeRefused() {
    bool allow = true;
    guarded([&] { PageChanging(allow); });
    return !allow;
}

void TForm1::PageChange() {
    if (Page->currentWidget() != TopicsPage || selectedNode())
        return;
    if (QTreeWidgetItem* channel = channelNode(); channel && channel->childCount() > 0)
        selectNode(channel->child(0));
}

void TForm1::BottomPanelResize() {
    // Placed by hand, not by a layout: a half given to a layout as a fixed
    // width would become the window's minimum, and the window could then not
    // shrink back in one step.
    const int width = BottomPanel->width();
    const int half = width / 2;
    const int height = TopicsSplit->height();
    QPanel->setGeometry(0, 0, half, height);
    APanel->setGeometry(half, 0, TopicsSplit->width() - half, height);
    const int titleHeight = QTitlePanel->height();
    TopicPanel->setGeometry(0, 0, half, titleHeight);
    QuestionPanel->setGeometry(half, 0, width - half, titleHeight);
    QViewLabel->adjustSize();
    AViewLabel->adjustSize();
    const int labelTop = (TopPanel->height() - QViewLabel->height()) / 2;
    QViewLabel->move(qMax(0, (half - QViewLabel->width()) / 2), labelTop);
    AViewLabel->move(half + qMax(0, (width - half - AViewLabel->width()) / 2), labelTop);
}

void TForm1::MHelpClick() {
    dialogs_.openUrl(QUrl::fromLocalFile(manualFilePath()));
}
