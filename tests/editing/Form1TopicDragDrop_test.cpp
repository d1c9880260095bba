// Reordering topics by dragging their nodes in the headline tree with the
// mouse, and the double clicks that start editing.
#include "form/FormFixture.h"

#include "editing/TopicMove.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace {

QByteArray item(const QByteArray& headline) {
    return "<item><title>" + headline + "</title><link>http://q.example/" + headline +
           "</link><description>About " + headline + "</description></item>";
}

const QByteArray fourTopics = item("A") + item("B") + item("C") + item("D");

} // namespace

class FormTopicDragDropTest : public FormFixture {
protected:
    QString feedPath;
    QString backupPath;

    void startOn(const QByteArray& items) {
        feedPath = homePath(QStringLiteral("news.xml"));
        backupPath = homePath(QStringLiteral("news.bak"));
        writeFile(feedPath, feed("News", items));
        TIniFile ini = settings();
        ini.writeString(QStringLiteral("Publication"), QStringLiteral("FilePath"), feedPath);
        start();
        form->setActivePage(form->TopicsPage);
        QFile::remove(backupPath);
    }

    // The node shown with that caption: a topic, or the channel for "News".
    QTreeWidgetItem* node(const QString& caption) const {
        const QList<QTreeWidgetItem*> found =
            form->QListBox->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.constFirst();
    }

    void mouse(QEvent::Type type, const QPoint& at, Qt::MouseButton button, Qt::MouseButtons held) {
        QWidget* viewport = form->QListBox->viewport();
        QMouseEvent event(type, at, viewport->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }

    // Presses on one node, moves the mouse onto the other with the button held
    // and lets go there.
    void drag(const QString& from, const QString& onto) {
        QTreeWidgetItem* source = node(from);
        QTreeWidgetItem* target = node(onto);
        ASSERT_TRUE(source && target);
        const QPoint start = form->QListBox->visualItemRect(source).center();
        const QPoint end = form->QListBox->visualItemRect(target).center();
        mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        const QPoint away = start + QPoint(QApplication::startDragDistance() + 2, 0);
        mouse(QEvent::MouseMove, away, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, end, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, end, Qt::LeftButton, Qt::NoButton);
    }

    QString selectedCaption() const {
        QTreeWidgetItem* selected = form->selectedNode();
        return selected ? selected->text(0) : QStringLiteral("(none)");
    }
};

struct DropCase {
    const char* what;
    const char* dragged;
    const char* target;
    QStringList order; // afterwards
    const char* selected;
    bool written; // backup and feed file written
    QStringList messages;
};

class FormTopicDropTest : public FormTopicDragDropTest,
                          public ::testing::WithParamInterface<DropCase> {};

TEST_P(FormTopicDropTest, DroppingANodeMovesItsTopicThroughTheDocument) {
    const DropCase& c = GetParam();
    startOn(fourTopics);
    const QByteArray before = readFile(feedPath);
    // The document as the program writes it, before the drop.
    form->SaveXMLFile(homePath(QStringLiteral("unchanged.xml")));
    const QByteArray unchanged = readFile(homePath(QStringLiteral("unchanged.xml")));
    drag(QString::fromUtf8(c.dragged), QString::fromUtf8(c.target));

    EXPECT_EQ(headlines(), c.order) << c.what;
    EXPECT_EQ(selectedCaption(), QString::fromUtf8(c.selected)) << c.what;
    EXPECT_EQ(dialogs.messages, c.messages) << c.what;
    EXPECT_TRUE(form->InViewMode);
    if (c.written) {
        EXPECT_EQ(readFile(backupPath), unchanged) << c.what;
        // The file holds the tree's order.
        TXmlObjModel written;
        const QByteArray bytes = readFile(feedPath);
        ASSERT_TRUE(written.loadFromMemory(bytes.constData(), bytes.size()));
        QStringList fileOrder;
        for (const TXmlNodePtr& it : written.document()->getElementsByTagName(u"item").nodes())
            fileOrder << QString::fromStdU16String(it->firstChild()->text());
        EXPECT_EQ(fileOrder, c.order) << c.what;
    } else {
        EXPECT_FALSE(QFile::exists(backupPath)) << c.what;
        EXPECT_EQ(readFile(feedPath), before) << c.what;
    }
    // The synopsis shown is the selected topic's own.
    if (QTreeWidgetItem* selected = form->selectedNode(); selected && selected->parent()) {
        EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("About ") + selected->text(0));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Drops, FormTopicDropTest,
    ::testing::Values(DropCase{"a topic moved down lands before the target, which is selected",
                               "A",
                               "C",
                               {"B", "A", "C", "D"},
                               "C",
                               true,
                               {}},
                      DropCase{"a topic moved up lands before the target and is selected",
                               "D",
                               "B",
                               {"A", "D", "B", "C"},
                               "D",
                               true,
                               {}},
                      DropCase{"a topic dropped on the channel goes to the top",
                               "C",
                               "News",
                               {"C", "A", "B", "D"},
                               "News",
                               true,
                               {}},
                      DropCase{"a drop on the next topic keeps the order but writes again",
                               "B",
                               "C",
                               {"A", "B", "C", "D"},
                               "C",
                               true,
                               {}},
                      DropCase{"a drop on the dragged topic itself does nothing",
                               "B",
                               "B",
                               {"A", "B", "C", "D"},
                               "B",
                               false,
                               {}},
                      DropCase{"the channel dropped on itself does nothing",
                               "News",
                               "News",
                               {"A", "B", "C", "D"},
                               "News",
                               false,
                               {}},
                      DropCase{"the channel cannot be dropped on a topic",
                               "News",
                               "B",
                               {"A", "B", "C", "D"},
                               "News",
                               false,
                               {TopicMessages::cannotDragIntoItself()}}));

TEST_F(FormTopicDragDropTest, MovingTheMouseWithTheButtonHeldDoesNotSelectOtherTopics) {
    startOn(fourTopics);
    const QPoint start = form->QListBox->visualItemRect(node("A")).center();
    mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, form->QListBox->visualItemRect(node("C")).center(), Qt::NoButton,
          Qt::LeftButton);
    EXPECT_EQ(selectedCaption(), QStringLiteral("A"));
    EXPECT_EQ(form->LastCurrentNode, node("A"));
    // Escape gives the drag up: letting go afterwards moves nothing.
    QTest::keyClick(form->QListBox, Qt::Key_Escape);
    mouse(QEvent::MouseButtonRelease, form->QListBox->visualItemRect(node("C")).center(),
          Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(headlines(), (QStringList{"A", "B", "C", "D"}));
    EXPECT_FALSE(QFile::exists(backupPath));
}

TEST_F(FormTopicDragDropTest, ReleasingOverEmptySpaceMovesNothing) {
    startOn(fourTopics);
    const QByteArray before = readFile(feedPath);
    const QPoint start = form->QListBox->visualItemRect(node("B")).center();
    const QPoint empty(start.x(), form->QListBox->viewport()->height() - 2);
    ASSERT_EQ(form->QListBox->itemAt(empty), nullptr);
    mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, empty, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, empty, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(headlines(), (QStringList{"A", "B", "C", "D"}));
    EXPECT_EQ(readFile(feedPath), before);
    EXPECT_FALSE(QFile::exists(backupPath));
}

TEST_F(FormTopicDragDropTest, OnlyTheTreeItselfIsASourceOfDrops) {
    startOn(fourTopics);
    EXPECT_TRUE(form->QListBoxDragOver(form->QListBox));
    EXPECT_FALSE(form->QListBoxDragOver(form->CaptureSiteEdit));
    EXPECT_FALSE(form->QListBoxDragOver(nullptr));
    // The view itself takes no drops and starts no drag of its own.
    EXPECT_FALSE(form->QListBox->viewport()->acceptDrops());
    EXPECT_EQ(form->QListBox->dragDropMode(), QAbstractItemView::NoDragDrop);
}

TEST_F(FormTopicDragDropTest, TheMovedItemKeepsEveryChildAndAttribute) {
    const QByteArray rich = "<item id=\"r\"><title>R</title><link>http://r/</link>"
                            "<description><![CDATA[<b>x</b>]]></description>"
                            "<category domain=\"d\">one</category><category>two</category>"
                            "<enclosure length=\"5\" type=\"audio/mpeg\" url=\"http://r/a\"/>"
                            "<guid isPermaLink=\"false\">g</guid></item>";
    startOn(item("A") + item("B") + rich);
    drag(QStringLiteral("R"), QStringLiteral("A"));
    EXPECT_EQ(headlines(), (QStringList{"R", "A", "B"}));
    TXmlObjModel written;
    const QByteArray bytes = readFile(feedPath);
    ASSERT_TRUE(written.loadFromMemory(bytes.constData(), bytes.size()));
    const TXmlNodePtr first = written.document()->getElementsByTagName(u"item").item(0);
    EXPECT_EQ(attributeOf(first, u"id"), u"r");
    QStringList children;
    for (const TXmlNodePtr& child : first->childNodes().nodes())
        if (child->nodeType() == ELEMENT_NODE)
            children << QString::fromStdU16String(child->nodeName());
    EXPECT_EQ(children, (QStringList{"title", "link", "description", "category", "category",
                                     "enclosure", "guid"}));
    const TXmlNodeList categories = selectNodesOf(first, u"category");
    EXPECT_EQ(attributeOf(categories.item(0), u"domain"), u"d");
    EXPECT_EQ(textOf(categories.item(1)), u"two");
    const TXmlNodePtr enclosure = selectNodesOf(first, u"enclosure").item(0);
    EXPECT_EQ(attributeOf(enclosure, u"length"), u"5");
    EXPECT_EQ(attributeOf(enclosure, u"type"), u"audio/mpeg");
    EXPECT_EQ(attributeOf(enclosure, u"url"), u"http://r/a");
    EXPECT_EQ(attributeOf(selectNodesOf(first, u"guid").item(0), u"isPermaLink"), u"false");
    EXPECT_EQ(textOf(selectNodesOf(first, u"description").item(0)), u"<b>x</b>");
}

TEST_F(FormTopicDragDropTest, UndoAfterAMoveRestoresTheOrder) {
    startOn(fourTopics);
    drag(QStringLiteral("A"), QStringLiteral("D"));
    ASSERT_EQ(headlines(), (QStringList{"B", "C", "A", "D"}));
    form->UndoBtnClick();
    EXPECT_EQ(headlines(), (QStringList{"A", "B", "C", "D"}));
}

TEST_F(FormTopicDragDropTest, DoubleClickOnThePreviewEditsTheTopicInTheSynopsisMemo) {
    startOn(item("A") +
            "<item><title>B</title><link/><description><![CDATA[one   two]]></description></item>");
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->selectNode(node("B"));
    QWidget* preview = form->HTMLText->viewport();
    const QPoint at = preview->rect().center();
    QTest::mouseDClick(preview, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_FALSE(form->InViewMode);
    EXPECT_EQ(form->QMemo->toPlainText(), QStringLiteral("B"));
    EXPECT_EQ(form->AMemo->toPlainText(), QStringLiteral("one\ntwo"));
    EXPECT_TRUE(form->AMemo->hasFocus());
}

TEST_F(FormTopicDragDropTest, DoubleClickOnATopicEditsItInTheHeadlineMemo) {
    startOn(fourTopics);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // A double click as the mouse gives it: press, release, double click, release.
    const QPoint at = form->QListBox->visualItemRect(node("C")).center();
    mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    mouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(form->InViewMode);
    EXPECT_EQ(form->QMemo->toPlainText(), QStringLiteral("C"));
    EXPECT_TRUE(form->QMemo->hasFocus());
}
