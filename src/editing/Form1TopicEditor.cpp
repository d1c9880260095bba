// TForm1's topic editor: the viewing and editing states over the headline
// tree, Add, Edit, Save, Cancel, Next Topic and Remove, the enclosure probe
// and the two attribute prompts.
#include "app/Form1.h"

#include "app/Dialogs.h"
#include "editing/EditingMessages.h"
#include "editing/SynopsisText.h"
#include "editing/TopicItem.h"
#include "feed/FeedLookups.h"

#include <QAction>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QTreeWidget>

#include <algorithm>

void TForm1::wireTopicEditor() {
    watchEvents(TopicEnclosure, &TForm1::TopicEnclosureEvent);
    connectGuarded(AddBtn, &QPushButton::clicked, &TForm1::AddBtnClick);
    connectGuarded(PMAddQA, &QAction::triggered, &TForm1::AddBtnClick);
    connectGuarded(EditBtn, &QPushButton::clicked,
                   [](TForm1* form) { form->EditBtnClick(form->EditBtn); });
    connectGuarded(PMEdit, &QAction::triggered,
                   [](TForm1* form) { form->EditBtnClick(form->PMEdit); });
    connectGuarded(QListBox, &QTreeWidget::itemDoubleClicked,
                   [](TForm1* form) { form->EditBtnClick(form->QListBox); });
    connectGuarded(SaveBtn, &QPushButton::clicked, &TForm1::SaveBtnClick);
    connectGuarded(CancelBtn, &QPushButton::clicked, &TForm1::CancelBtnClick);
    connectGuarded(NextBtn, &QPushButton::clicked, &TForm1::NextBtnClick);
    connectGuarded(RemoveBtn, &QPushButton::clicked, &TForm1::RemoveBtnClick);
    connectGuarded(PMRemove, &QAction::triggered, &TForm1::RemoveBtnClick);
    connectGuarded(SetTopicTimeBtn, &QPushButton::clicked, &TForm1::SetTopicTimeBtnClick);
    connectGuarded(TopicEnclosureBtn, &QPushButton::clicked, &TForm1::TopicEnclosureBtnClick);
    connectGuarded(TopicCategoryBtn, &QPushButton::clicked, &TForm1::TopicCategoryBtnClick);
    connectGuarded(TopicGUIDBtn, &QPushButton::clicked, &TForm1::TopicGUIDBtnClick);
}

bool TForm1::TopicEnclosureEvent(QEvent* event) {
    if (focusMove(TopicEnclosure, event) == FocusMove::Leave)
        guarded([this] { TopicEnclosureExit(); });
    return false;
}

void TForm1::ViewMode(bool Value) {
    InViewMode = Value;
    LeftPanel->setVisible(Value);
    AMemo->setReadOnly(Value);
    HTMLText->setVisible(Value);
    RightPanel->setVisible(!Value);
    if (AddingTopic)
        NextBtn->setVisible(!Value);
    SaveBtn->setVisible(!Value);
    CancelBtn->setVisible(!Value);
    SynopsisPanel->setVisible(!Value);
    QMemo->setVisible(!Value);
    PositionInList(CurrentTopicIndex + 1);
    if (Value) {
        AddingTopic = false;
        QViewLabel->setText(QStringLiteral("Headlines"));
        AViewLabel->setText(QStringLiteral("Synopsis for selected Headline"));
        QListBox->show();
    } else {
        QListBox->hide();
        AMemo->clear();
        QMemo->clear();
        QViewLabel->setText(QStringLiteral("Headline Options below."));
        AViewLabel->setText(QStringLiteral("Enter or Edit Headline Text below."));
        PositionInList(CurrentTopicIndex + 1);
        QMemo->setFocus();
    }
    BottomPanelResize();
    HTMLText->loadFromString(AMemo->toPlainText());
}

void TForm1::AddBtnClick() {
    TopicDatePicker->setDate(StartTime.date());
    TopicTimePicker->setTime(StartTime.time());
    AddingTopic = true;
    EditedPubDate.reset();
    SavedSynopsis = AMemo->toPlainText();
    SetCurrentTopic();
    if (CurrentNodeData == ChannelNodeData)
        CurrentTopicIndex = -1;
    ++CurrentTopicIndex;
    // Readers take the guid as the item's identity: a new topic never
    // inherits the last one's.
    TopicGUID->clear();
    ViewMode(false);
}

void TForm1::EditBtnClick(QObject* Sender) {
    QTreeWidgetItem* node = selectedNode();
    if (CurrentNodeData == ChannelNodeData || !node)
        return;
    SetCurrentTopic();
    const TXmlNodePtr item = itemsOf(XMLObject.document()).item(CurrentNodeData);
    if (!item)
        return;
    SavedSynopsis = AMemo->toPlainText();
    ViewMode(false);
    QMemo->setPlainText(node->text(0));
    AMemo->setPlainText(editableSynopsis(AListBox.value(CurrentNodeData)));

    const TTopicOnEdit topic = readTopic(item);
    TopicLink->setText(topic.link);
    TopicAuthor->setText(topic.author);
    TopicComments->setText(topic.comments);
    TopicSource->setText(topic.source);
    TopicCategory->setText(topic.category.value_or(QString()));
    if (topic.category)
        TopicCategoryDomain = topic.categoryDomain;
    TopicGUID->setText(topic.guid.value_or(QString()));
    if (topic.guid)
        TopicGuidPermaLink = topic.guidPermaLink;
    TopicEnclosure->setText(topic.enclosureUrl);
    // Saving without a new probe writes the stored length and type back.
    ShowEnclosureFields(topic.hasEnclosure);
    EnclosureLength->setText(topic.enclosureLength);
    EnclosureType->setText(topic.enclosureType);

    const QDateTime shown = pickerTimeForEdit(topic.pubDate, StartTime, localClockOffsetSeconds());
    TopicDatePicker->setDate(shown.date());
    TopicTimePicker->setTime(shown.time());
    // Compared with what the pickers took, so a picker's own rounding
    // cannot count as a change.
    if (topic.pubDate.isEmpty())
        EditedPubDate.reset();
    else
        EditedPubDate =
            TKeptPubDate{topic.pubDate, TopicDatePicker->date(), TopicTimePicker->time()};

    if (Sender == HTMLText)
        AMemo->setFocus();
}

void TForm1::SaveBtnClick() {
    if (QMemo->toPlainText().isEmpty())
        return;
    // Add empties EditedPubDate, so a new topic takes the pickers' date
    // unless the capture of an unattended run has kept one for it.
    const QString pubDate =
        pubDateForSave(EditedPubDate, TopicDatePicker->date(), TopicTimePicker->time());
    SaveBackupFile();
    int absoluteIndex = selectedNode() ? absoluteIndexOf(selectedNode()) : CurrentTopicIndex;

    AMemo->setPlainText(withoutThreeSpaceRuns(AMemo->toPlainText()));
    TTopicFields fields;
    fields.headline = QMemo->toPlainText();
    fields.link = TopicLink->text();
    fields.synopsis = AMemo->toPlainText();
    fields.author = TopicAuthor->text();
    fields.comments = TopicComments->text();
    fields.source = TopicSource->text();
    fields.category = TopicCategory->text();
    fields.categoryDomain = TopicCategoryDomain;
    fields.guid = TopicGUID->text();
    fields.guidPermaLink = TopicGuidPermaLink;
    fields.enclosureUrl = TopicEnclosure->text();
    fields.enclosureLength = EnclosureLength->text();
    fields.enclosureType = EnclosureType->text();
    fields.pubDate = pubDate;

    const TXmlDocumentPtr& doc = XMLObject.document();
    const TXmlElementPtr item = buildTopicItem(doc, fields);
    if (AddingTopic) {
        insertTopic(doc, item,
                    CurrentNodeData == ChannelNodeData
                        ? std::nullopt
                        : std::optional<long>(CurrentTopicIndex - 1));
        ++absoluteIndex;
    } else {
        const TXmlNodePtr old = itemsOf(doc).item(CurrentNodeData);
        keepUnshownParts(old, item);
        if (!replaceTopic(doc, CurrentNodeData, item))
            insertTopic(doc, item, std::nullopt);
    }
    LoadQandAData();
    SaveXMLFile(FeedFilePath);
    noteFeedFileSaved();
    ViewMode(true);
    selectNode(nodeAtAbsoluteIndex(absoluteIndex));
    QListBoxClick();
    ShowEnclosureFields(false);
}

void TForm1::CancelBtnClick() {
    if (AddingTopic)
        --CurrentTopicIndex;
    ShowEnclosureFields(false);
    ViewMode(true);
    AMemo->setPlainText(SavedSynopsis);
    HTMLText->loadFromString(AMemo->toPlainText());
    QListBox->setFocus();
}

void TForm1::NextBtnClick() {
    if (QMemo->toPlainText().isEmpty())
        return;
    SaveBtnClick();
    AddBtnClick();
}

void TForm1::RemoveBtnClick() {
    QTreeWidgetItem* node = selectedNode();
    if (!node)
        return;
    if (node == channelNode()) {
        dialogs().showMessage(EditingMessages::channelNodeNotRemovable());
        return;
    }
    SaveXMLFile(BackupFilePath);
    const TXmlDocumentPtr& doc = XMLObject.document();
    const TXmlNodeList items = itemsOf(doc);
    const TXmlNodePtr item = items.item(nodeData(node));
    if (!item)
        return;
    // The feed keeps its last topic: it is blanked instead.
    if (!item->nextSibling()) {
        if (item == items.item(items.length() - 1))
            ClearLastNode();
        else
            blankTopic(item);
        return;
    }
    item->parentNode()->removeChild(item);
    LoadQandAData();
    SaveXMLFile(FeedFilePath);
    ViewMode(true);
    selectFirstTopic();
    PositionInList(1);
}

void TForm1::SetTopicTimeBtnClick() {
    TopicDatePicker->setDate(StartTime.date());
    TopicTimePicker->setTime(StartTime.time());
}

void TForm1::TopicEnclosureExit() {
    if (!TopicEnclosure->text().isEmpty())
        TopicEnclosureBtnClick();
}

void TForm1::TopicEnclosureBtnClick() {
    HttpEnclosure.URL = TopicEnclosure->text();
    // The header tells type and length; the episode itself is not fetched.
    HttpEnclosure.HeaderOnly = true;
    HttpEnclosure.Get();
    EnclosureType->setText(HttpEnclosure.ContentType());
    // An enclosure's length is a size: 0 when the server announces none.
    EnclosureLength->setText(QString::number(std::max<qint64>(0, HttpEnclosure.ContentLength())));
    ShowEnclosureFields(true);
}

void TForm1::ShowEnclosureFields(bool Value) {
    for (QWidget* w : std::initializer_list<QWidget*>{EnclosureLengthLabel, EnclosureLength,
                                                      EnclosureTypeLabel, EnclosureType})
        w->setVisible(Value);
    if (!Value) {
        EnclosureType->clear();
        EnclosureLength->clear();
    }
}

void TForm1::TopicCategoryBtnClick() {
    if (const std::optional<QString> domain =
            dialogs().prompt(EditingMessages::domainPathCaption(),
                             EditingMessages::domainPathQuestion(), TopicCategoryDomain))
        TopicCategoryDomain = *domain;
}

void TForm1::TopicGUIDBtnClick() {
    if (const std::optional<QString> permaLink =
            dialogs().prompt(EditingMessages::permanentLinkCaption(),
                             EditingMessages::permanentLinkQuestion(), TopicGuidPermaLink))
        TopicGuidPermaLink = *permaLink;
}

QTreeWidgetItem* TForm1::nodeAtAbsoluteIndex(int index) const {
    QTreeWidgetItem* channel = channelNode();
    if (index <= 0 || !channel)
        return index == 0 ? channel : nullptr;
    return channel->child(index - 1);
}

int TForm1::absoluteIndexOf(const QTreeWidgetItem* node) {
    const QTreeWidgetItem* parent = node->parent();
    return parent ? parent->indexOfChild(const_cast<QTreeWidgetItem*>(node)) + 1 : 0;
}
