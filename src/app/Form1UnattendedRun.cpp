// The unattended run: started with a feed on the command line, the window
// empties the feed's topics, captures the page stored for the feed, publishes
// the feed and ends. The capture and the publishing run nested inside the
// start-up sequence (Get dispatches events until the page is in).
//
// A run never publishes a feed whose capture failed or found nothing: the
// feed and its published copy then stay as they were. Without a display
// nobody can answer the window, so every way the run can stop ends the
// program, with status 2 and the reason on standard error.
#include "app/Form1.h"

#include "app/AppMessages.h"
#include "app/Dialogs.h"
#include "app/StartupPaths.h"
#include "capture/CaptureOutcome.h"
#include "xml/XmlWriter.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTimeEdit>

int TForm1::exitStatus(int loopStatus) const {
    if (!argumentNamesFeed(commandLineArgument()))
        return loopStatus;
    if (runEndStatus_)
        return *runEndStatus_;
    // A window the run left open may still have published (Publish ends the
    // program when it has).
    return LastPublishOutcome && LastPublishOutcome->published() ? 0 : 2;
}

void TForm1::startUnattendedRun() {
    UnattendedRun = true;
    setActivePage(TopicsPage);
    TopicDatePicker->setDate(StartTime.date());
    TopicTimePicker->setTime(StartTime.time());

    knownItems_ = knownItemsByLink(XMLObject.document());
    feedBeforeRun_ = xmlBytes(*XMLObject.document());
    runCapturing_ = true;
    auto done = qScopeGuard([this] {
        runCapturing_ = false;
        knownItems_.clear();
        feedBeforeRun_.clear();
    });
    ClearExistingFeedsClick();
    AutoCaptureBtnClick();
}

void TForm1::publishUnattendedRun() {
    if (runCapturing_) {
        const QString failure =
            captureOutcomeMessage(captureAddress_, captureResponse_, capturedTopics_);
        if (!failure.isEmpty()) {
            // The feed gets back the topics the run took from it.
            XMLObject.loadFromMemory(feedBeforeRun_.data(), feedBeforeRun_.size());
            refreshAfterCleanup();
            endUnattendedRun(2, failure + u' ' + AppMessages::runNotPublished(FeedFilePath));
            return;
        }
    }
    // The capture can leave the editor adding a topic it could not store (an
    // anchor without text); the window could not close over it.
    if (!InViewMode)
        CancelBtnClick();
    setActivePage(PublishPage);
    PublishBtnClick();
    if (LastPublishOutcome && LastPublishOutcome->published()) {
        // The publisher has closed the window; the program ends as it would.
        if (NoDisplay)
            endUnattendedRun(0, {});
        return;
    }
    QString reason = LastPublishOutcome ? LastPublishOutcome->Lines.join(u' ') : QString();
    reason += (reason.isEmpty() ? QString() : QStringLiteral(" ")) +
              AppMessages::runNotPublished(FeedFilePath);
    // With a display the window stays open on the Publish page, where the
    // person there can finish what is missing.
    if (NoDisplay)
        endUnattendedRun(2, reason);
    else
        writeStandardErrorLine(reason);
}

void TForm1::endUnattendedRun(int status, const QString& reason) {
    if (!reason.isEmpty())
        writeStandardErrorLine(reason);
    runEndStatus_ = status;
    emit programEndRequested(status);
}

void TForm1::endRunLeftOpen() {
    if (NoDisplay && argumentNamesFeed(commandLineArgument()) && !runEndStatus_)
        endUnattendedRun(2, AppMessages::runNotPublished(FeedFilePath));
}

void TForm1::keepKnownItemDate(const QString& link) {
    const auto known = knownItems_.constFind(link);
    if (known == knownItems_.cend())
        return;
    if (!known->PubDate.isEmpty())
        EditedPubDate =
            TKeptPubDate{known->PubDate, TopicDatePicker->date(), TopicTimePicker->time()};
    if (known->Guid) {
        TopicGUID->setText(*known->Guid);
        TopicGuidPermaLink = known->GuidPermaLink;
    }
}
