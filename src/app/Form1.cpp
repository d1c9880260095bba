// The window itself: creation, the start-up sequence, and the handlers that
// belong to the window as a whole (close and page guards, the Topics page
// split, Help).
#include "Form1.h"

#include "Dialogs.h"
#include "ErrorGuard.h"
#include "IniFile.h"
#include "ProgramDir.h"
#include "StartupPaths.h"
#include "feed/Clock.h"
#include "feed/FeedTemplate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTreeWidget>

namespace {

const QString helpPage = QStringLiteral("http://www.quillo-feeds.org/quillo/help_main.php");

bool isPageNavigationKey(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

bool isPageSwitchShortcut(const QKeyEvent* key) {
    if (!(key->modifiers() & Qt::ControlModifier))
        return false;
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

TForm1::TForm1(Dialogs& dialogs, QStringList arguments, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), arguments_(std::move(arguments)) {
    Q_INIT_RESOURCE(quillo);
    buildLayout();
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    guarded([this] { FormCreate(); });
    wireHandlers();
}

TForm1::~TForm1() = default;

void TForm1::wireHandlers() {
    Page->tabBar()->installEventFilter(this);
    Page->installEventFilter(this);
    BottomPanel->installEventFilter(this);
    QListBox->viewport()->installEventFilter(this);

    connect(MHelp, &QAction::triggered, this, [this] { guarded([this] { MHelpClick(); }); });
    connect(Page, &QTabWidget::currentChanged, this, [this] { guarded([this] { PageChange(); }); });

    connect(QListBox, &QTreeWidget::itemSelectionChanged, this,
            [this] { guarded([this] { QListBoxChange(); }); });
    connect(QListBox, &QTreeWidget::itemClicked, this,
            [this] { guarded([this] { QListBoxClick(); }); });
    connect(QListBox, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* node) { guarded([this, node] { QListBoxCollapsed(node); }); });
    connect(QListBox, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* node) { guarded([this, node] { QListBoxExpanded(node); }); });
    connect(QListBox, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopMenu1->popup(QListBox->viewport()->mapToGlobal(at)); });

    connect(UndoBtn, &QPushButton::clicked, this, [this] { guarded([this] { UndoBtnClick(); }); });

    wireChannelFields();
    wireChannelSchedule();
    wireTopicEditor();
    wireTopicCleanup();
}

void TForm1::guarded(const std::function<void()>& work) {
    runGuarded(dialogs_, work);
}

QString TForm1::commandLineArgument() const {
    return arguments_.value(1);
}

bool TForm1::interactiveSession() const {
    return !UnattendedRun && !commandLineArgument().contains(QLatin1String(".xml"));
}

void TForm1::FormCreate() {
    CaptureLines.clear();
    ProgramDirectory = resolveProgramDirectory();
    InViewMode = true;
    UnattendedRun = false;
    StartTime = GetLocalTimeNUTC();
    setActivePage(ChannelPage);
    AboutMemo->setPlainText(QStringList{
        QStringLiteral("Quillo Version 1.0"),
        QStringLiteral("http://www.quillo-feeds.org"),
        QStringLiteral("Copyright (c) the Quillo authors. All rights reserved."),
        QStringLiteral("Quillo Feed Software, 12 Harbour Lane"),
        QStringLiteral("Portsmouth PO1 2AB, United Kingdom"),
        QStringLiteral("info@quillo-feeds.org, support@quillo-feeds.org"),
        QStringLiteral(" "),
    }
                                .join(u'\n'));
}

void TForm1::FormActivate() {
    const QString argument = commandLineArgument();

    ProgramDirectory = resolveProgramDirectory();
    TIniFile settings(settingsFilePath(ProgramDirectory));

    FeedFilePath = settings.readString(QStringLiteral("Publication"), QStringLiteral("FilePath"),
                                       ProgramDirectory + QStringLiteral("Default.xml"));
    const QString argumentFeed = feedPathFromArgument(argument, ProgramDirectory);
    if (!argumentFeed.isEmpty())
        FeedFilePath = argumentFeed;

    LocalLabel2->setText(
        settings.readString(QStringLiteral("Publish"), QStringLiteral("LocalPath"), QString()));
    FTPComboBox->setEditText(
        settings.readString(QStringLiteral("Publish"), QStringLiteral("FTPPath"), QString()));

    // Checking a radio button from code does not run LocalRadioClick: that
    // handler answers user clicks only.
    if (settings.readString(QStringLiteral("Publish"), QStringLiteral("Location"),
                            QStringLiteral("LocalRadio")) == QLatin1String("LocalRadio")) {
        LocalLabel->setText(LocalLabel2->text());
        LocalRadio->setChecked(true);
        UserIDLabel->hide();
        UserIDField->hide();
        PasswordLabel->hide();
        PasswordField->hide();
    } else {
        FTPRadio->setChecked(true);
        LocalLabel->setText(FTPComboBox->currentText());
    }

    const QString feedSection = FeedFilePath;
    UserIDField->setText(settings.readString(feedSection, QStringLiteral("UserID"), QString()));
    PasswordField->setText(settings.readString(feedSection, QStringLiteral("Password"), QString()));
    FileNameField->setText(settings.readString(feedSection, QStringLiteral("FileName"), QString()));
    CaptureSiteEdit->setText(
        settings.readString(feedSection, QStringLiteral("Capture"), QString()));
    Advanced->setChecked(settings.readBool(feedSection, QStringLiteral("AdvancedCapture"), false));
    HeadlineClassName = settings.readString(feedSection, QStringLiteral("HeadlineTag"), QString());
    SynopsisClassName = settings.readString(feedSection, QStringLiteral("SynopsisTag"), QString());

    BasePath = basePathOf(FeedFilePath);
    BackupFilePath = backupPathOf(FeedFilePath);
    setWindowTitle(QStringLiteral("Quillo - ") + FeedFilePath);
    if (FileNameField->text().isEmpty())
        FileNameField->setText(defaultFileNameOf(FeedFilePath));

    if (QFile::exists(ProgramDirectory + QStringLiteral("ftpsites.txt"))) {
        const QString text = FTPComboBox->currentText();
        FTPComboBox->clear();
        FTPComboBox->addItems(readFtpSites(ProgramDirectory));
        FTPComboBox->setEditText(text);
    }

    if (QFile::exists(FeedFilePath))
        loadFeedFile(FeedFilePath);
    else
        XMLObject.loadFromMemory(NewFeedTemplate.data(), NewFeedTemplate.size());

    LoadQandAData();

    if (QTreeWidgetItem* channel = channelNode(); channel && channel->childCount() > 0)
        selectNode(channel->child(0));
    if (!AListBox.isEmpty())
        AMemo->setPlainText(AListBox.constFirst());
    HTMLText->loadFromString(AMemo->toPlainText());

    CurrentTopicIndex = 0;
    CurrentNodeData = 0;
    SetCurrentTopic();

    for (QDateEdit* picker : {DatePicker, BuildDatePicker})
        picker->setDate(StartTime.date());
    for (QTimeEdit* picker : {TimePicker, BuildTimePicker})
        picker->setTime(StartTime.time());

    PositionInList(CurrentTopicIndex + 1);

    SetChannelTime(DatePicker);
    SetChannelTime(BuildDatePicker);
    // Stamping rebuilt the tree; the start-up still ends on the first topic.
    if (QTreeWidgetItem* channel = channelNode(); channel && channel->childCount() > 0)
        selectNode(channel->child(0));
    CurrentTopicIndex = 0;
    CurrentNodeData = 0;
    SetCurrentTopic();
}

void TForm1::loadFeedFile(const QString& path) {
    if (XMLObject.loadFromSource(path.toStdString()))
        return;
    const TXmlErrorList& errors = XMLObject.errorList();
    const QString firstError =
        errors.empty() ? QString() : QString::fromStdU16String(errors.front());
    const QString copy = keepDamagedCopy(path);
    if (interactiveSession())
        dialogs_.showMessage(QStringLiteral("The feed file could not be read completely (") +
                             firstError + QStringLiteral("). A copy of it was kept as ") + copy +
                             u'.');
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (activated_)
        return;
    activated_ = true;
    guarded([this] { FormActivate(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    guarded([&] { FormCloseQuery(canClose); });
    event->setAccepted(canClose);
}

void TForm1::FormCloseQuery(bool& CanClose) {
    if (!InViewMode) {
        dialogs_.showMessage(QStringLiteral("You are currently in Edit mode, please Save or Cancel "
                                            "your current changes before exiting."));
        CanClose = false;
    }
}

void TForm1::PageChanging(bool& AllowChange) {
    if (!InViewMode) {
        dialogs_.showMessage(QStringLiteral("You are currently in Edit mode, please Save or Cancel "
                                            "your current changes before going to another page."));
        AllowChange = false;
    }
}

bool TForm1::pageChangeRefused() {
    bool allow = true;
    guarded([&] { PageChanging(allow); });
    return !allow;
}

void TForm1::setActivePage(QWidget* page) {
    QSignalBlocker quiet(Page);
    Page->setCurrentWidget(page);
}

void TForm1::PageChange() {
    if (Page->currentWidget() != TopicsPage || selectedNode())
        return;
    if (QTreeWidgetItem* channel = channelNode(); channel && channel->childCount() > 0)
        selectNode(channel->child(0));
}

void TForm1::BottomPanelResize() {
    const int half = BottomPanel->width() / 2;
    QPanel->setFixedWidth(half);
    TopicPanel->setFixedWidth(half);
    QViewLabel->adjustSize();
    AViewLabel->adjustSize();
    const int labelTop = (TopPanel->height() - QViewLabel->height()) / 2;
    QViewLabel->move(qMax(0, (half - QViewLabel->width()) / 2), labelTop);
    AViewLabel->move(half + qMax(0, (BottomPanel->width() - half - AViewLabel->width()) / 2),
                     labelTop);
}

void TForm1::MHelpClick() {
    dialogs_.openUrl(QUrl(helpPage));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (channelFieldsEvent(watched, event) || channelScheduleEvent(watched, event) ||
        topicEditorEvent(watched, event))
        return true;
    if (watched == Page->tabBar()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* press = static_cast<QMouseEvent*>(event);
            const int index = Page->tabBar()->tabAt(press->position().toPoint());
            if (index >= 0 && index != Page->currentIndex())
                return pageChangeRefused();
            break;
        }
        case QEvent::Wheel:
            // The wheel flips through the pages; while editing it must not.
            return !InViewMode;
        case QEvent::KeyPress:
            if (isPageNavigationKey(static_cast<QKeyEvent*>(event)))
                return pageChangeRefused();
            break;
        default:
            break;
        }
    } else if (watched == Page && event->type() == QEvent::KeyPress) {
        if (isPageSwitchShortcut(static_cast<QKeyEvent*>(event)))
            return pageChangeRefused();
    } else if (watched == BottomPanel && event->type() == QEvent::Resize) {
        guarded([this] { BottomPanelResize(); });
    } else if (watched == QListBox->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        const QPoint at = press->position().toPoint();
        guarded([&] { QListBoxMouseDown(press->button(), at); });
        // A press on empty space keeps the current topic: the view's own
        // handling must not clear the selection again.
        return QListBox->itemAt(at) == nullptr;
    }
    return QMainWindow::eventFilter(watched, event);
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
