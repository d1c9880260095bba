// TForm1's topic list clean-ups: Clear Topic List, the blanking of the last
// topic, and the removal of topics without a headline, each ending in the
// same refresh.
#include "app/Form1.h"

#include "app/Dialogs.h"
#include "capture/CleanupMessages.h"
#include "capture/TopicCleanup.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTreeWidget>

void TForm1::wireTopicCleanup() {
    connectGuarded(MClearTopics, &QAction::triggered, &TForm1::RequestClear);
}

void TForm1::refreshAfterCleanup() {
    SaveXMLFile(FeedFilePath);
    loadFeedFile(FeedFilePath);
    LoadQandAData();
    selectFirstTopic();
    PositionInList(1);
}

void TForm1::RequestClear() {
    if (dialogs().askYesNo(CleanupMessages::clearWarningTitle(), CleanupMessages::clearWarning()))
        ClearExistingFeedsClick();
}

void TForm1::ClearExistingFeedsClick() {
    clearTopicList(XMLObject.document());
    refreshAfterCleanup();
}

void TForm1::ClearLastNode() {
    blankItem(XMLObject.document());
    refreshAfterCleanup();
}

void TForm1::blankTopic(const TXmlNodePtr& item) {
    blankItem(XMLObject.document(), item);
    refreshAfterCleanup();
}

void TForm1::ClearBlankHeadlinesOnly() {
    removeBlankHeadlines(XMLObject.document());
    refreshAfterCleanup();
}

void TForm1::ClearBlankHeadlines() {
    ClearBlankHeadlinesOnly();
}
