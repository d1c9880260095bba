// The capture: the page named in CaptureSiteEdit is fetched with HttpCapture,
// read in its own character set, and every headline found on it becomes a
// topic through the topic editor's own Add and Save, so each captured topic
// writes the backup and the feed file like a topic typed by hand.
//
// The whole capture runs nested inside AutoCaptureBtnClick: Get dispatches
// events until the request is over, and HttpCaptureRequestDone stores the
// topics from within it. The client's events reach the handlers through the
// error guard, since nothing may unwind into the client.
#include "app/Form1.h"

#include "app/Dialogs.h"
#include "app/IniFile.h"
#include "app/SettingsKeys.h"
#include "app/StartupPaths.h"
#include "capture/CaptureHeadlines.h"
#include "capture/CaptureOutcome.h"
#include "capture/PageText.h"
#include "net/HttpClient.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>

void TForm1::wireCapture() {
    connectGuarded(AutoCaptureBtn, &QPushButton::clicked, &TForm1::AutoCaptureBtnClick);
    // clicked comes after the box has toggled, from a click released over it.
    connectGuarded(Advanced, &QCheckBox::clicked, &TForm1::AdvancedMouseUp);
    watchEvents(CaptureSiteEdit, &TForm1::CaptureSiteEditEvent);
    HttpCapture->OnDocData = [this](THttpClient* sender, const char* buffer, int len) {
        guarded([&] { HttpCaptureDocData(sender, buffer, len); });
    };
    HttpCapture->OnRequestDone = [this](THttpClient* sender, THttpRequest rqType, quint16 error) {
        guarded([&] { HttpCaptureRequestDone(sender, rqType, error); });
    };
}

void TForm1::AutoCaptureBtnClick() {
    const QString address = CaptureSiteEdit->text();
    TIniFile(settingsFilePath(ProgramDirectory))
        .writeString(FeedFilePath, SettingsKeys::Capture, address);
    HttpCapture->URL = address;
    AutoCaptureBtn->setEnabled(false);
    if (capturing_) {
        // Enter pressed while a capture waits: Get refuses, as the client is
        // busy. Once the page is in, the capture is storing its topics and
        // takes no second one, as its disabled button says.
        if (HttpCapture->State() != httpReady)
            HttpCapture->Get();
        return;
    }
    captureAddress_ = address;
    captureResponse_ = {};
    capturedTopics_ = 0;
    capturing_ = true;
    {
        auto done = qScopeGuard([this] { capturing_ = false; });
        HttpCapture->Get();
    }
    ClearBlankHeadlinesOnly();
    if (!UnattendedRun) {
        const QString message =
            captureOutcomeMessage(captureAddress_, captureResponse_, capturedTopics_);
        if (!message.isEmpty())
            dialogs().showMessage(message);
    }
}

bool TForm1::CaptureSiteEditEvent(QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    guarded([this, key] { CaptureSiteEditKeyDown(key); });
    return true;
}

void TForm1::CaptureSiteEditKeyDown(int Key) {
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter)
        AutoCaptureBtnClick();
}

void TForm1::HttpCaptureDocData(THttpClient*, const char* Buffer, int Len) {
    CaptureLines.append(chunkText(Buffer, Len));
}

void TForm1::HttpCaptureRequestDone(THttpClient*, THttpRequest, quint16 Error) {
    captureResponse_ = {Error, HttpCapture->StatusCode(), HttpCapture->ReasonPhrase()};
    const QString page = decodePage(joinChunks(CaptureLines), HttpCapture->ContentType());
    BrowserParser.loadFromBuffer(page.toStdU16String());
    BrowserParser.Parse();

    storeCapturedTopics(page);
    // An unattended run ends with the publishing of the feed.
    if (UnattendedRun)
        publishUnattendedRun();
}

void TForm1::storeCapturedTopics(const QString& page) {
    // The panel covers the page while topics are stored; whatever happens to
    // them, the window gets its Topics page and the capture button back.
    // What it covers is hidden meanwhile, so that the editor's showing and
    // hiding of its controls for every topic lays out and paints nothing.
    const int panelHeight = TopPanel->height();
    const bool splitShown = !TopicsSplit->isHidden();
    const bool bottomShown = !BottomPanel->isHidden();
    TopPanel->setFixedHeight(Page->height());
    TopicsSplit->hide();
    BottomPanel->hide();
    CaptureProgressLabel->show();
    auto restore = qScopeGuard([this, panelHeight, splitShown, bottomShown] {
        CaptureProgressLabel->hide();
        TopicsSplit->setVisible(splitShown);
        BottomPanel->setVisible(bottomShown);
        TopPanel->setFixedHeight(panelHeight);
        CaptureLines.clear();
        AutoCaptureBtn->setEnabled(true);
    });

    const TCapturedTopics topics =
        Advanced->isChecked()
            ? advancedHeadlines(page, captureAddress_, HeadlineClassName, SynopsisClassName)
            : basicHeadlines(page, BrowserParser.Parsed().WebLinks, captureAddress_);
    if (!topics.isEmpty()) {
        // A captured topic is a new story: it takes no identity or media from
        // the topic the editor held last.
        TopicGUID->clear();
        TopicEnclosure->clear();
        EnclosureLength->clear();
        EnclosureType->clear();
    }
    // Painted as the topics go, but not after every one of a long capture.
    const int total = static_cast<int>(topics.size());
    int shownDone = -1;
    QElapsedTimer sinceShown;
    const auto showProgress = [&](int done) {
        if (!captureProgressDue(shownDone, done, total,
                                sinceShown.isValid() ? sinceShown.elapsed() : 0))
            return;
        CaptureProgressLabel->setText(captureProgressText(captureAddress_, capturedTopics_, total));
        CaptureProgressLabel->adjustSize();
        TopPanel->repaint();
        shownDone = done;
        sinceShown.start();
    };
    showProgress(0);
    // Between two of these Saves nothing but the editor's fields changes, so
    // the feed file the last one wrote is the next one's backup.
    savedFeedFile_.reset();
    backupsFromFeedFile_ = true;
    auto noLinkedBackups = qScopeGuard([this] {
        backupsFromFeedFile_ = false;
        savedFeedFile_.reset();
    });
    int done = 0;
    for (const TCapturedTopic& topic : topics) {
        AddBtnClick();
        QMemo->setPlainText(topic.Headline);
        if (Advanced->isChecked())
            AMemo->setPlainText(topic.Synopsis);
        TopicLink->setText(topic.Link);
        if (UnattendedRun)
            keepKnownItemDate(topic.Link);
        SaveBtnClick();
        // Save stores nothing for an empty headline.
        if (!topic.Headline.isEmpty())
            ++capturedTopics_;
        showProgress(++done);
    }
}

void TForm1::AdvancedMouseUp() {
    TIniFile settings(settingsFilePath(ProgramDirectory));
    if (Advanced->isChecked()) {
        if (const auto name =
                dialogs().prompt(QStringLiteral("Headline Class Name"),
                                 QStringLiteral("Enter Headline Class Name"), HeadlineClassName))
            HeadlineClassName = *name;
        if (const auto name =
                dialogs().prompt(QStringLiteral("Synopsis Class Name"),
                                 QStringLiteral("Enter Synopsis Class Name"), SynopsisClassName))
            SynopsisClassName = *name;
        settings.writeString(FeedFilePath, SettingsKeys::HeadlineTag, HeadlineClassName);
        settings.writeString(FeedFilePath, SettingsKeys::SynopsisTag, SynopsisClassName);
        settings.writeBool(FeedFilePath, SettingsKeys::AdvancedCapture, true);
        if (HeadlineClassName.isEmpty() || SynopsisClassName.isEmpty())
            Advanced->setChecked(false);
    }
    settings.writeBool(FeedFilePath, SettingsKeys::AdvancedCapture, Advanced->isChecked());
}
