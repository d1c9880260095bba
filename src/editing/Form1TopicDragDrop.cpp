// TForm1's topic drag and drop: a topic's node dragged onto another node of the
// headline tree moves its item in the feed document, and the tree is rebuilt
// from the document. Double clicks on the tree and the preview start editing.
//
// The drag is the window's own handling of the tree's mouse events, so it
// behaves the same on every platform and nothing but the tree can start one.
#include "app/Form1.h"

#include "app/Dialogs.h"
#include "editing/TopicMove.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTreeWidget>

namespace {

int indexAmongSiblings(QTreeWidget* tree, QTreeWidgetItem* node) {
    QTreeWidgetItem* parent = node->parent();
    return parent ? parent->indexOfChild(node) : tree->indexOfTopLevelItem(node);
}

} // namespace

void TForm1::wireTopicDragDrop() {
    connectGuarded(HTMLText, &THtmlView::doubleClicked, &TForm1::HTMLTextMouseDouble);
    watchEvents(QListBox->viewport(), &TForm1::QListBoxDragEvent);
    watchEvents(QListBox, &TForm1::QListBoxDragKeyEvent);
}

bool TForm1::QListBoxDragEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* press = static_cast<QMouseEvent*>(event);
        const QPoint at = press->position().toPoint();
        topicDragArmed_ = press->button() == Qt::LeftButton && QListBox->itemAt(at);
        topicDragRunning_ = false;
        topicDragPress_ = at;
        return false;
    }
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        if (!topicDragArmed_)
            return false;
        if (!(move->buttons() & Qt::LeftButton)) {
            endTopicDrag();
            return false;
        }
        const QPoint at = move->position().toPoint();
        if (!topicDragRunning_ &&
            (at - topicDragPress_).manhattanLength() >= QApplication::startDragDistance())
            topicDragRunning_ = true;
        if (topicDragRunning_) {
            const bool dropsHere = QListBoxDragOver(QListBox) &&
                                   QListBox->viewport()->rect().contains(at) &&
                                   QListBox->itemAt(at);
            QListBox->viewport()->setCursor(dropsHere ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
        }
        // While the button is held after a press on a node, the view must not
        // select the nodes the mouse passes over: the pressed one is dragged.
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() != Qt::LeftButton || !topicDragRunning_) {
            if (release->button() == Qt::LeftButton)
                endTopicDrag();
            return false;
        }
        endTopicDrag();
        const QPoint at = release->position().toPoint();
        if (QListBoxDragOver(QListBox))
            guarded([&] { QListBoxDragDrop(at); });
        return true;
    }
    default:
        return false;
    }
}

bool TForm1::QListBoxDragKeyEvent(QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        endTopicDrag();
        return false;
    }
    if (event->type() != QEvent::KeyPress || !topicDragRunning_)
        return false;
    // Escape gives the drag up; other keys wait until it is over.
    if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        endTopicDrag();
    return true;
}

void TForm1::endTopicDrag() {
    if (topicDragRunning_)
        QListBox->viewport()->unsetCursor();
    topicDragArmed_ = false;
    topicDragRunning_ = false;
}

bool TForm1::QListBoxDragOver(QObject* Source) const {
    return Source == QListBox;
}

void TForm1::QListBoxDragDrop(const QPoint& Position) {
    QTreeWidgetItem* target =
        QListBox->viewport()->rect().contains(Position) ? QListBox->itemAt(Position) : nullptr;
    if (!target)
        return;
    QTreeWidgetItem* dragged = LastCurrentNode;
    if (!dragged)
        return;
    const int targetRow = absoluteIndexOf(target);
    if (target->parent() && target->parent() == dragged) {
        dialogs().showMessage(TopicMessages::cannotDragIntoItself());
        return;
    }
    if (target == dragged || !dragged->parent())
        return;

    const int source = indexAmongSiblings(QListBox, dragged);
    const int before = target->parent() ? indexAmongSiblings(QListBox, target) : 0;
    const TXmlDocumentPtr& doc = XMLObject.document();
    // A node without an item of the channel behind it (items outside the
    // channel) cannot be moved; nothing is written then.
    if (!canMoveTopic(doc, source, before))
        return;
    SaveXMLFile(BackupFilePath);
    moveTopic(doc, source, before);
    LoadQandAData();
    SaveXMLFile(FeedFilePath);
    ViewMode(true);
    selectNode(nodeAtAbsoluteIndex(targetRow));
}

void TForm1::HTMLTextMouseDouble() {
    EditBtnClick(HTMLText);
}
