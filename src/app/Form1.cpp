// The window's table of contents: creation, the wiring of every area, the
// routing of events to the areas' cases, and the helpers all areas share.
#include "app/Form1.h"

#include "app/ErrorGuard.h"

#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>

#include <algorithm>

TForm1::TForm1(Dialogs& dialogs, QStringList arguments, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), arguments_(std::move(arguments)) {
    Q_INIT_RESOURCE(quillo);
    buildMenus();
    buildFeedInfoPage();
    buildTopicsPage();
    buildPublishPage();
    buildAboutPage();
    resize(640, 480);
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    guarded([this] { FormCreate(); });
    wireHandlers();
}

TForm1::~TForm1() = default;

void TForm1::wireHandlers() {
    wireWindow();
    wireHeadlineList();
    wireFeedFileStore();
    wireChannelFields();
    wireChannelSchedule();
    wireTopicEditor();
    wireTopicCleanup();
    wireTopicDragDrop();
    wireMarkupToolbar();
    wireCapture();
    wirePublisher();
}

void TForm1::guarded(const std::function<void()>& work) {
    runGuarded(dialogs_, work);
}

void TForm1::watchEvents(QObject* watched, EventCase eventCase) {
    if (!isWatched(watched))
        watched->installEventFilter(this);
    eventCases_.emplace_back(watched, eventCase);
}

void TForm1::watchEvents(QObject* watched, SenderEventCase eventCase) {
    if (!isWatched(watched))
        watched->installEventFilter(this);
    senderEventCases_.emplace_back(watched, eventCase);
}

bool TForm1::isWatched(const QObject* watched) const {
    const auto named = [watched](const auto& entry) { return entry.first == watched; };
    return std::any_of(eventCases_.begin(), eventCases_.end(), named) ||
           std::any_of(senderEventCases_.begin(), senderEventCases_.end(), named);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    for (const auto& [object, eventCase] : eventCases_)
        if (object == watched && (this->*eventCase)(event))
            return true;
    for (const auto& [object, eventCase] : senderEventCases_)
        if (object == watched && (this->*eventCase)(watched, event))
            return true;
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::setActivePage(QWidget* page) {
    QSignalBlocker quiet(Page);
    Page->setCurrentWidget(page);
}

QTreeWidgetItem* TForm1::channelNode() const {
    return QListBox->topLevelItem(0);
}

QTreeWidgetItem* TForm1::selectedNode() const {
    const QList<QTreeWidgetItem*> selected = QListBox->selectedItems();
    return selected.isEmpty() ? nullptr : selected.constFirst();
}

void TForm1::selectNode(QTreeWidgetItem* node) {
    if (node) {
        QListBox->setCurrentItem(node);
        node->setSelected(true);
    } else {
        QListBox->clearSelection();
    }
}

int TForm1::nodeData(const QTreeWidgetItem* node) {
    return node ? node->data(0, Qt::UserRole).toInt() : 0;
}
