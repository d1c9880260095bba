// TForm1's feed check: the Check Publication command, and the check the
// publisher runs before anything is written to the target.
#include "app/Form1.h"

#include "app/Dialogs.h"
#include "feed/FeedCheck.h"
#include "feed/FeedMessages.h"

#include <QAction>
#include <QTabWidget>
#include <QTreeWidget>

#include <cstdio>

namespace {

QString qText(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

// The feed document as it stands, the one the publisher writes out.
std::vector<FeedFinding> findingsOf(const TXmlObjModel& model) {
    if (const TXmlDocumentPtr& doc = model.document())
        return checkFeed(*doc);
    return checkFeed(*TXmlDocument::create());
}

} // namespace

void TForm1::wireFeedCheck() {
    connectGuarded(MPCheck, &QAction::triggered, &TForm1::MPCheckClick);
}

void TForm1::MPCheckClick() {
    const std::vector<FeedFinding> findings = findingsOf(XMLObject);
    if (findings.empty()) {
        dialogs().showMessage(FeedMessages::noProblemsFound());
        return;
    }
    showFindings(findings);
}

bool TForm1::publicationCheckAllows() {
    const std::vector<FeedFinding> findings = findingsOf(XMLObject);
    const bool errors = hasFeedErrors(findings);
    if (UnattendedRun) {
        // Nobody is there to ask: the run's log gets the findings, in the
        // form quillo-xml check-feed prints them.
        for (const FeedFinding& f : findings) {
            const QString line = FeedFilePath + QStringLiteral(": ") +
                                 QLatin1String(severityName(f.severity)) + QStringLiteral(": ") +
                                 qText(findingPlace(f)) + QStringLiteral(": ") + qText(f.message) +
                                 u'\n';
            std::fputs(line.toUtf8().constData(), stderr);
        }
        std::fflush(stderr);
        return !errors;
    }
    if (!errors)
        return true;
    showFindings(findings);
    return dialogs().askYesNo(FeedMessages::checkTitle(), FeedMessages::publishAnyway());
}

void TForm1::showFindings(const std::vector<FeedFinding>& findings) {
    QList<FindingRow> rows;
    rows.reserve(static_cast<qsizetype>(findings.size()));
    for (const FeedFinding& f : findings)
        rows.append(
            {QLatin1String(severityName(f.severity)), qText(findingPlace(f)), qText(f.message)});
    const std::optional<int> chosen = dialogs().chooseFinding(FeedMessages::checkTitle(), rows);
    if (!chosen || *chosen < 0 || static_cast<std::size_t>(*chosen) >= findings.size())
        return;
    if (const FeedFinding& f = findings[static_cast<std::size_t>(*chosen)];
        f.scope == FeedScope::Item)
        goToTopic(f.item);
}

void TForm1::goToTopic(long ordinal) {
    // While a topic is being edited the tree is hidden and the editor keeps
    // the page: nothing else is selected under it.
    if (!InViewMode)
        return;
    QTreeWidgetItem* channel = channelNode();
    QTreeWidgetItem* node = nullptr;
    for (int i = 0; channel && i < channel->childCount() && !node; ++i)
        if (nodeData(channel->child(i)) == ordinal)
            node = channel->child(i);
    if (!node)
        return;
    // A page change as the user makes it, with its follow-up.
    if (Page->currentWidget() != TopicsPage)
        Page->setCurrentWidget(TopicsPage);
    selectNode(node);
    QListBox->scrollToItem(node);
    QListBox->setFocus(Qt::OtherFocusReason);
}
