// Stand-in for the topic editor's switch between viewing and editing, enough
// for the drag and drop and the markup toolbar; the topic editor replaces it.
#include "app/Form1.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

void TForm1::EditBtnClick(QObject* Sender) {
    if (CurrentNodeData == ChannelNodeData)
        return;
    SetCurrentTopic();
    QTreeWidgetItem* node = selectedNode();
    ViewMode(false);
    QMemo->setPlainText(node ? node->text(0) : QString());
    AMemo->setPlainText(
        AListBox.value(CurrentNodeData).replace(QStringLiteral("   "), QStringLiteral("\n")));
    if (Sender == HTMLText)
        AMemo->setFocus();
}

void TForm1::ViewMode(bool Value) {
    InViewMode = Value;
    LeftPanel->setVisible(Value);
    AMemo->setReadOnly(Value);
    HTMLText->setVisible(Value);
    RightPanel->setVisible(!Value);
    SaveBtn->setVisible(!Value);
    CancelBtn->setVisible(!Value);
    SynopsisPanel->setVisible(!Value);
    QMemo->setVisible(!Value);
    PositionInList(CurrentTopicIndex + 1);
    if (Value) {
        QViewLabel->setText(QStringLiteral("Headlines"));
        AViewLabel->setText(QStringLiteral("Synopsis for selected Headline"));
        QListBox->show();
    } else {
        QListBox->hide();
        AMemo->clear();
        QMemo->clear();
        QViewLabel->setText(QStringLiteral("Headline Options below."));
        AViewLabel->setText(QStringLiteral("Enter or Edit Headline Text below."));
        QMemo->setFocus();
    }
    BottomPanelResize();
    HTMLText->loadFromString(AMemo->toPlainText());
}
