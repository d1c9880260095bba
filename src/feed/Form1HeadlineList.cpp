// TForm1's headline list: the tree, the synopsis list and the channel fields
// rebuilt from the feed document, and the selection of the current topic.
#include "app/Form1.h"

#include "feed/FeedLookups.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>

namespace {

QString qText(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

QStringView textView(const std::u16string& text) {
    return QStringView(text.data(), static_cast<qsizetype>(text.size()));
}

QString fieldText(const TXmlNodePtr& channel, const std::u16string& name) {
    return qText(textOf(channelField(channel, name)));
}

} // namespace

void TForm1::wireHeadlineList() {
    connectGuarded(QListBox, &QTreeWidget::itemSelectionChanged, &TForm1::QListBoxChange);
    connectGuarded(QListBox, &QTreeWidget::itemClicked, &TForm1::QListBoxClick);
    connectGuarded(QListBox, &QTreeWidget::itemCollapsed, &TForm1::QListBoxCollapsed);
    connectGuarded(QListBox, &QTreeWidget::itemExpanded, &TForm1::QListBoxExpanded);
    connect(QListBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopMenu1->popup(QListBox->viewport()->mapToGlobal(at)); });
    watchEvents(QListBox->viewport(), &TForm1::QListBoxViewportEvent);
    watchEvents(QListBox, &TForm1::CoverEvent);
    watchEvents(HTMLText, &TForm1::CoverEvent);
    hideCoveredControls();
}

bool TForm1::QListBoxViewportEvent(QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress)
        return false;
    auto* press = static_cast<QMouseEvent*>(event);
    const QPoint at = press->position().toPoint();
    guarded([&] { QListBoxMouseDown(press->button(), at); });
    if (QListBox->itemAt(at))
        return false;
    // A press on empty space keeps the current topic, so the view's own
    // handling, which would clear the selection, is skipped; the tree still
    // takes the focus as for any click.
    QListBox->setFocus(Qt::MouseFocusReason);
    return true;
}

bool TForm1::CoverEvent(QEvent* event) {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
        hideCoveredControls();
    return false;
}

void TForm1::hideCoveredControls() {
    // The topic fields lie under the tree and the synopsis memo under the
    // preview: while covered they are hidden too, so the keyboard never stops
    // on a control nobody can see.
    TopicFields->setHidden(!QListBox->isHidden());
    AMemo->setHidden(!HTMLText->isHidden());
}

void TForm1::selectFirstTopic() {
    if (QTreeWidgetItem* channel = channelNode(); channel && channel->childCount() > 0)
        selectNode(channel->child(0));
    if (!AListBox.isEmpty())
        AMemo->setPlainText(AListBox.constFirst());
    HTMLText->loadFromString(AMemo->toPlainText());
    CurrentTopicIndex = 0;
    CurrentNodeData = 0;
    SetCurrentTopic();
}

bool TForm1::insertNewTopicNode(const TXmlNodeList& items) {
    QTreeWidgetItem* root = channelNode();
    const long count = items.length();
    if (QListBox->topLevelItemCount() != 1 || nodeData(root) != ChannelNodeData ||
        root->childCount() != count - 1 || AListBox.size() != count - 1)
        return false;
    // The one document item the tree lacks: nodes before it show the items
    // at their own ordinal, nodes after it the items one further on.
    long added = -1;
    for (long k = 0; k < count - 1; ++k) {
        const QTreeWidgetItem* node = root->child(static_cast<int>(k));
        if (node->childCount() != 0 || nodeData(node) != k)
            return false;
        const auto shows = [&](long ordinal) {
            const TXmlNodePtr item = items.item(ordinal);
            return node->text(0) == textView(headlineOf(item)) &&
                   AListBox.at(k) == textView(synopsisOf(item));
        };
        if (added < 0 && !shows(k))
            added = k;
        if (added >= 0 && !shows(k + 1))
            return false;
    }
    if (added < 0)
        added = count - 1;

    const TXmlNodePtr item = items.item(added);
    auto* node = new QTreeWidgetItem(QStringList(qText(headlineOf(item))));
    node->setData(0, Qt::UserRole, static_cast<int>(added));
    node->setIcon(0, ImageList.value(2));
    root->insertChild(static_cast<int>(added), node);
    for (long k = added + 1; k < count; ++k)
        root->child(static_cast<int>(k))->setData(0, Qt::UserRole, static_cast<int>(k));
    AListBox.insert(added, qText(synopsisOf(item)));
    // As after a rebuild: nothing selected or current, the channel open and
    // named as the document names it, the list at its top.
    QListBox->setCurrentItem(nullptr);
    QListBox->clearSelection();
    const QString channelName = qText(channelDisplayName(XMLObject.document()));
    if (root->text(0) != channelName)
        root->setText(0, channelName);
    root->setIcon(0, ImageList.value(1));
    root->setExpanded(true);
    QListBox->scrollToTop();
    return true;
}

void TForm1::LoadQandAData() {
    QListBox->hide();
    {
        // The rebuild is not a user selection: no handler runs for it.
        QSignalBlocker quiet(QListBox);
        QListBox->setUpdatesEnabled(false);
        LastCurrentNode = nullptr;

        const TXmlDocumentPtr& doc = XMLObject.document();
        const TXmlNodePtr channel = channelOf(doc);
        const TXmlNodeList items = itemsOf(doc);
        // A Save that added one topic to a tree showing the rest needs only
        // that topic's node, which is what rebuilding the tree would give.
        if (!channel || !insertNewTopicNode(items)) {
            AListBox.clear();
            QListBox->clear();
        }
        if (channel && QListBox->topLevelItemCount() == 0) {
            auto* root = new QTreeWidgetItem(QStringList(qText(channelDisplayName(doc))));
            root->setData(0, Qt::UserRole, ChannelNodeData);
            root->setIcon(0, ImageList.value(1));
            QListBox->addTopLevelItem(root);

            QList<QTreeWidgetItem*> nodes;
            nodes.reserve(items.length());
            AListBox.reserve(items.length());
            const QIcon page = ImageList.value(2);
            int k = 0;
            for (const TXmlNodePtr& item : items.nodes()) {
                // Nodes carry no tool tip, so a caption that does not fit pops none up.
                auto* node = new QTreeWidgetItem(QStringList(qText(headlineOf(item))));
                node->setData(0, Qt::UserRole, k++);
                node->setIcon(0, page);
                nodes.append(node);
                AListBox.append(qText(synopsisOf(item)));
            }
            root->addChildren(nodes);
            root->setExpanded(true);
        }
        QListBox->setUpdatesEnabled(true);

        TitleEdit->setText(fieldText(channel, u"title"));
        LinkEdit->setText(fieldText(channel, u"link"));
        DescEdit->setText(fieldText(channel, u"description"));
        LangBox->setEditText(fieldText(channel, u"language"));
        CopyrightEdit->setText(fieldText(channel, u"copyright"));
        WebMasterEdit->setText(fieldText(channel, u"webMaster"));
        ManagingEditorEdit->setText(fieldText(channel, u"managingEditor"));
        DocsEdit->setText(fieldText(channel, u"docs"));
        RatingEdit->setText(fieldText(channel, u"rating"));
        TTLSpin->setValue(decimalOrZero(textOf(channelField(channel, u"ttl"))));

        // Only what the feed names is checked; a value that names no entry is skipped.
        if (TXmlNodePtr skipHours = channelField(channel, u"skipHours")) {
            const TXmlNodeList hours = selectNodesOf(skipHours, u"hour");
            for (const TXmlNodePtr& hour : hours.nodes()) {
                bool isNumber = false;
                const int h = qText(textOf(hour)).toInt(&isNumber);
                if (isNumber && h >= 0 && h < HoursCheckListBox->count())
                    HoursCheckListBox->item(h)->setCheckState(Qt::Checked);
            }
        }
        if (TXmlNodePtr skipDays = channelField(channel, u"skipDays")) {
            const TXmlNodeList days = selectNodesOf(skipDays, u"day");
            for (const TXmlNodePtr& day : days.nodes()) {
                const QString name = qText(textOf(day));
                for (int i = 0; i < DaysCheckListBox->count(); ++i) {
                    QListWidgetItem* entry = DaysCheckListBox->item(i);
                    if (entry->text().compare(name, Qt::CaseInsensitive) == 0)
                        entry->setCheckState(Qt::Checked);
                }
            }
        }
        if (TXmlNodePtr category = channelField(channel, u"category")) {
            CategoryEdit->setText(qText(textOf(category)));
            if (category->hasAttributes())
                ChannelCategoryDomain = qText(attributeOf(category, u"domain"));
        }
        if (TXmlNodePtr cloud = channelField(channel, u"cloud")) {
            CloudDomainEdit->setText(qText(attributeOf(cloud, u"domain")));
            CloudPortEdit->setText(qText(attributeOf(cloud, u"port")));
            CloudPathEdit->setText(qText(attributeOf(cloud, u"path")));
            CloudRegisterEdit->setText(qText(attributeOf(cloud, u"registerProcedure")));
            CloudProtocolEdit->setText(qText(attributeOf(cloud, u"protocol")));
        }
        if (TXmlNodePtr textInput = channelField(channel, u"textInput")) {
            TITitleEdit->setText(fieldText(textInput, u"title"));
            TIDescEdit->setText(fieldText(textInput, u"description"));
            TINameEdit->setText(fieldText(textInput, u"name"));
            TILinkEdit->setText(fieldText(textInput, u"link"));
        }
        const TXmlNodePtr image = firstImageOf(doc);
        ImageTitleEdit->setText(fieldText(image, u"title"));
        ImageSiteLinkEdit->setText(fieldText(image, u"link"));
        ImageLinkEdit->setText(fieldText(image, u"url"));
        ImageWSpin->setValue(decimalOrZero(textOf(channelField(image, u"width"))));
        ImageHSpin->setValue(decimalOrZero(textOf(channelField(image, u"height"))));
    }
    QListBox->show();
}

void TForm1::SetCurrentTopic() {
    QTreeWidgetItem* selected = selectedNode();
    if (!selected)
        return;
    QTreeWidgetItem* parent = selected->parent();
    CurrentChannelTitle = (parent ? parent : selected)->text(0);
    LastCurrentNode = selected;
}

void TForm1::PositionInList(int N) {
    QuestionPanel->setCaption(QStringLiteral(" Headline: ") + QString::number(N));
    TopicPanel->setCaption(QStringLiteral(" Channel: ") + AddAmp(CurrentChannelTitle));
    if (CurrentNodeData == ChannelNodeData)
        QuestionPanel->setCaption(QStringLiteral(" Headline: "));
}

QString TForm1::AddAmp(const QString& Text) {
    QString result = Text;
    result.replace(u'&', QStringLiteral("&&"));
    return result;
}

void TForm1::QListBoxClick() {
    if (!selectedNode() && LastCurrentNode)
        selectNode(LastCurrentNode);
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return;
    CurrentNodeData = nodeData(node);
    SetCurrentTopic();
    QTreeWidgetItem* parent = node->parent();
    CurrentTopicIndex = parent ? parent->indexOfChild(node) : QListBox->indexOfTopLevelItem(node);
    PositionInList(CurrentTopicIndex + 1);
    if (CurrentNodeData == ChannelNodeData) {
        QuestionPanel->setCaption(QStringLiteral("Channel: ") + AddAmp(node->text(0)));
        AMemo->clear();
        HTMLText->loadFromString(QString());
    } else {
        AMemo->setPlainText(AListBox.value(CurrentNodeData));
        HTMLText->loadFromString(AMemo->toPlainText());
    }
}

void TForm1::QListBoxChange() {
    if (selectedNode())
        QListBoxClick();
}

void TForm1::QListBoxMouseDown(Qt::MouseButton, const QPoint& Position) {
    if (!selectedNode())
        return;
    selectNode(QListBox->itemAt(Position));
    QListBoxClick();
}

void TForm1::QListBoxCollapsed(QTreeWidgetItem* Node) {
    Node->setIcon(0, ImageList.value(3));
}

void TForm1::QListBoxExpanded(QTreeWidgetItem* Node) {
    Node->setIcon(0, ImageList.value(1));
}
