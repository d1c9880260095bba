#pragma once
// TForm1, the program's one window. It owns the feed document, every control
// and all program state. Each area's handlers, and the wire<Area>() member
// that connects its controls and events to them, live in one handler file,
// <folder>/Form1<Area>.cpp, named in the area's section below. The widgets are
// built in app/Form1Layout.cpp; app/Form1.cpp holds the constructor, the
// wiring table and the helpers every area shares.
//
// Handlers run on the UI thread only. Any handler may run nested inside
// another one that waits (an HTTP Get dispatches events), so handlers keep no
// pointers to tree nodes across calls except LastCurrentNode.

#include "app/CaptionPanel.h"
#include "app/HtmlView.h"
#include "capture/CaptureOutcome.h"
#include "capture/HtmlParser.h"
#include "editing/MarkupText.h"
#include "editing/TopicDate.h"
#include "net/HttpClient.h"
#include "publish/PublishOutcome.h"
#include "xml/XmlDom.h"

#include <QByteArrayList>
#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

class Dialogs;
class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTimeEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // arguments: the program's command line, the program name first.
    TForm1(Dialogs& dialogs, QStringList arguments, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- Main menu
    QMenu* MProject;
    QAction* MPNew;
    QAction* MPOpen;
    QAction* MPSave;
    QAction* MPDownload;
    QAction* MClearTopics;
    QAction* MPExit;
    QAction* MHelp;

    // ---- Pop-up menu of the headline tree
    QMenu* PopMenu1;
    QAction* PMAddQA;
    QAction* PMEdit;
    QAction* PMRemove;

    // ---- Pages
    QTabWidget* Page;
    QWidget* ChannelPage;
    QWidget* TopicsPage;
    QWidget* PublishPage;
    QWidget* AboutPage;

    // ---- Feed Info page
    QTabWidget* FeedTabs;
    QWidget* RequiredTab;
    QWidget* DetailsTab;
    QWidget* TimeTab;
    QWidget* LogoTab;
    QWidget* CloudTab;
    QWidget* TextInputTab;
    // Required
    QLineEdit* TitleEdit;
    QLineEdit* DescEdit;
    QLineEdit* LinkEdit;
    // Details
    QLineEdit* WebMasterEdit;
    QLineEdit* ManagingEditorEdit;
    QLineEdit* CategoryEdit;
    QPushButton* CategoryAttrBtn;
    QLineEdit* CopyrightEdit;
    QComboBox* LangBox;
    QLineEdit* DocsEdit;
    QLineEdit* RatingEdit;
    // Date/Time
    QDateEdit* DatePicker;
    QTimeEdit* TimePicker;
    QPushButton* SetTimeBtn;
    QDateEdit* BuildDatePicker;
    QTimeEdit* BuildTimePicker;
    QPushButton* SetBuildTimeBtn;
    QSpinBox* TTLSpin;
    QListWidget* HoursCheckListBox;
    QListWidget* DaysCheckListBox;
    // Logo
    QLineEdit* ImageTitleEdit;
    QLineEdit* ImageSiteLinkEdit;
    QLineEdit* ImageLinkEdit;
    QSpinBox* ImageWSpin;
    QSpinBox* ImageHSpin;
    // Cloud
    QLineEdit* CloudDomainEdit;
    QLineEdit* CloudPathEdit;
    QLineEdit* CloudRegisterEdit;
    QLineEdit* CloudPortEdit;
    QLineEdit* CloudProtocolEdit;
    // Text Input
    QLineEdit* TITitleEdit;
    QLineEdit* TIDescEdit;
    QLineEdit* TINameEdit;
    QLineEdit* TILinkEdit;

    // ---- Topics page
    QFrame* TopPanel;
    QLabel* CaptureProgressLabel; // shown over the panel while a capture stores topics
    QLabel* QViewLabel;
    QLabel* AViewLabel;
    QFrame* BottomPanel;
    QFrame* QTitlePanel;
    TCaptionPanel* TopicPanel;
    TCaptionPanel* QuestionPanel;
    // Left of the bottom panel: visible while viewing
    QFrame* LeftPanel;
    QPushButton* AddBtn;
    QPushButton* EditBtn;
    QPushButton* RemoveBtn;
    QPushButton* UndoBtn;
    QPushButton* AutoCaptureBtn;
    QLineEdit* CaptureSiteEdit;
    QCheckBox* Advanced;
    // Right of the bottom panel: visible while editing
    QFrame* RightPanel;
    QToolButton* ParagraphButton;
    QToolButton* OrderedListButton;
    QToolButton* UnorderedListButton;
    QToolButton* ListButton;
    QToolButton* FarAnchorButton;
    QToolButton* QuoteButton;
    QToolButton* BlankSpaceButton;
    QToolButton* BoldButton;
    QToolButton* ItalicButton;
    QToolButton* UnderlineButton;
    QPlainTextEdit* MM;
    QPlainTextEdit* CR;
    QPlainTextEdit* NoMemo;
    QFrame* SavePanel;
    QPushButton* CancelBtn;
    QPushButton* SaveBtn;
    QPushButton* NextBtn;
    // Left half: the topic fields, covered by the headline tree while viewing
    QFrame* QPanel;
    QLineEdit* TopicLink;
    QLineEdit* TopicAuthor;
    QLineEdit* TopicEnclosure;
    QPushButton* TopicEnclosureBtn;
    QLabel* EnclosureLengthLabel;
    QLineEdit* EnclosureLength;
    QLabel* EnclosureTypeLabel;
    QLineEdit* EnclosureType;
    QDateEdit* TopicDatePicker;
    QTimeEdit* TopicTimePicker;
    QPushButton* SetTopicTimeBtn;
    QLineEdit* TopicComments;
    QLineEdit* TopicSource;
    QLineEdit* TopicCategory;
    QPushButton* TopicCategoryBtn;
    QLineEdit* TopicGUID;
    QPushButton* TopicGUIDBtn;
    // The headline tree: one channel node, one child per item (data value in Qt::UserRole)
    QTreeWidget* QListBox;
    // Right half: synopsis memo under the preview, headline memo on top while editing
    QFrame* APanel;
    QPlainTextEdit* AMemo;
    THtmlView* HTMLText;
    QStringList AListBox; // synopsis of item i at index i, parallel to the tree
    QPlainTextEdit* QMemo;
    TCaptionPanel* SynopsisPanel;

    // ---- Publish page
    QLabel* Label42;
    QToolButton* SelectLocalBtn;
    QLabel* LocalLabel2;
    QLabel* Label43;
    QToolButton* AddFTPBtn;
    QComboBox* FTPComboBox;
    QLabel* UserIDLabel;
    QLineEdit* UserIDField;
    QLabel* PasswordLabel;
    QLineEdit* PasswordField;
    QLabel* FileNameLabel;
    QLineEdit* FileNameField;
    QFrame* PublishPanel;
    QRadioButton* LocalRadio;
    QRadioButton* FTPRadio;
    QPushButton* PublishBtn;
    QFrame* PublishPanelBottom;
    TCaptionPanel* Panel2;
    QLabel* LocalLabel;

    // ---- About page
    QPlainTextEdit* AboutMemo;

    // ---- Non-visual components
    TXmlObjModel XMLObject;
    THttpClient HttpEnclosure;
    QList<QIcon> ImageList; // tree state pictures by index (1 open book, 2 page, 3 closed book)
    THttpClient* HttpCapture = new THttpClient(this);
    THTMLParser BrowserParser;

    // ---- Start-up state
    QString ProgramDirectory; // with a trailing separator
    QString FeedFilePath;
    QString BasePath;       // the feed file path without its last four characters
    QString BackupFilePath; // BasePath + ".bak"
    QDateTime StartTime;    // local time the window was created; never refreshed
    bool InViewMode = true;
    bool UnattendedRun = false;
    QString HeadlineClassName;
    QString SynopsisClassName;
    QByteArrayList CaptureLines; // the body chunks of the capture's page, as received

    // ---- Headline list state
    QString CurrentChannelTitle;
    // The node made current last; cleared by a rebuild, which deletes the nodes.
    QTreeWidgetItem* LastCurrentNode = nullptr;
    QString ChannelCategoryDomain;
    int CurrentTopicIndex = 0;
    int CurrentNodeData = 0;

    // ---- Start-up (app/Form1Startup.cpp)
    void FormCreate();
    void FormActivate();
    // Loads the feed file into the feed document; when it does not load
    // cleanly, its bytes are kept beside it first so that no later save loses
    // them. False when they could not be kept: the file must not be written
    // over then.
    bool loadFeedFile(const QString& path);
    // True once the start-up sequence has run for the window on the screen.
    bool startedUp() const { return activated_; }

    // ---- Window (app/Form1Window.cpp)
    void FormCloseQuery(bool& CanClose);
    void PageChanging(bool& AllowChange);
    void PageChange();
    void BottomPanelResize();
    void MHelpClick();

    // ---- Headline list (feed/Form1HeadlineList.cpp)
    void LoadQandAData();
    void SetCurrentTopic();
    void PositionInList(int N);
    // Selects the first topic (when there is one), shows its synopsis and
    // makes it the current topic.
    void selectFirstTopic();
    static QString AddAmp(const QString& Text);
    void QListBoxClick();
    void QListBoxChange();
    void QListBoxMouseDown(Qt::MouseButton Button, const QPoint& Position);
    void QListBoxCollapsed(QTreeWidgetItem* Node);
    void QListBoxExpanded(QTreeWidgetItem* Node);

    // ---- Feed file store (feed/Form1FeedFileStore.cpp)
    void SaveXMLFile(const QString& Path);
    void FileCopy(const QString& Source, const QString& Destination);
    void UndoBtnClick();
    bool ValidTagsInFile(const QString& Path);

    // ---- Channel fields (editing/Form1ChannelFields.cpp)
    // The value of the field last entered; "|||" for an empty one.
    QString FieldValueOnEnter;
    void TitleEditEnter(QObject* Sender);
    void TitleEditExit(QObject* Sender);
    void CategoryAttrBtnClick();

    // ---- Channel schedule and logo size (editing/Form1ChannelSchedule.cpp)
    void SetChannelTime(QWidget* Picker);
    void DatePickerExit(QObject* Sender);
    void SetTimeBtnClick();
    void SetBuildTimeBtnClick();
    void TTLSpinExit(QObject* Sender);

    // ---- Topic editor (editing/Form1TopicEditor.cpp)
    bool AddingTopic = false;
    QString SavedSynopsis;
    QString TopicCategoryDomain;
    QString TopicGuidPermaLink;
    // The edited topic's "pubDate" and the picker values Edit set from it;
    // empty while adding or when the topic had no date.
    std::optional<TKeptPubDate> EditedPubDate;
    void ViewMode(bool Value);
    void AddBtnClick();
    void EditBtnClick(QObject* Sender);
    void SaveBtnClick();
    void CancelBtnClick();
    void NextBtnClick();
    void RemoveBtnClick();
    void SetTopicTimeBtnClick();
    void TopicEnclosureBtnClick();
    void TopicEnclosureExit();
    void ShowEnclosureFields(bool Value);
    void TopicCategoryBtnClick();
    void TopicGUIDBtnClick();

    // ---- Topic list clean-up (capture/Form1TopicCleanup.cpp)
    void RequestClear();
    void ClearExistingFeedsClick();
    void ClearLastNode();
    void ClearBlankHeadlinesOnly();
    void ClearBlankHeadlines();

    // ---- Topic drag and drop (editing/Form1TopicDragDrop.cpp)
    // Whether a drag from Source may drop on the tree: only the tree's own.
    bool QListBoxDragOver(QObject* Source) const;
    // Moves the dragged topic (LastCurrentNode) in front of the node at
    // Position, in viewport coordinates of the tree.
    void QListBoxDragDrop(const QPoint& Position);
    void HTMLTextMouseDouble();

    // ---- Markup toolbar (editing/Form1MarkupToolbar.cpp)
    // The memo with the keyboard focus, or the hidden NoMemo.
    QPlainTextEdit* CurrentMemo() const;
    void ParagraphButtonClick();
    void OrderedListButtonClick();
    void UnorderedListButtonClick();
    void ListButtonClick();
    void FarAnchorButtonClick();
    void QuoteButtonClick();
    void BlankSpaceButtonClick();
    void BoldButtonClick();
    void ItalicButtonClick();
    void UnderlineButtonClick();
    // The Enter key in either memo; true when the key was handled here.
    bool AMemoKeyDown(int Key, Qt::KeyboardModifiers Shift);
    // ---- Capture (capture/Form1Capture.cpp)
    void AutoCaptureBtnClick();
    void CaptureSiteEditKeyDown(int Key);
    void HttpCaptureDocData(THttpClient* Sender, const char* Buffer, int Len);
    void HttpCaptureRequestDone(THttpClient* Sender, THttpRequest RqType, quint16 Error);
    void AdvancedMouseUp();

    // ---- Publisher (publish/Form1Publisher.cpp)
    // How the last Publish ended; empty before the first one and while one runs.
    std::optional<TPublishOutcome> LastPublishOutcome;
    void PublishBtnClick();
    // Sender: LocalRadio or FTPRadio, the button that was clicked.
    void LocalRadioClick(QObject* Sender);
    void SelectLocalBtnClick();
    void AddFTPBtnClick();
    void FTPComboBoxClick();

    // ---- Helpers shared by the handlers (app/Form1.cpp)
    static constexpr int ChannelNodeData = 1000000;
    Dialogs& dialogs() const { return dialogs_; }
    // Runs work as an entry point from Qt: a failure is shown, never propagated.
    void guarded(const std::function<void()>& work);
    // A page change made by the program: it neither asks nor follows up.
    void setActivePage(QWidget* page);
    QTreeWidgetItem* channelNode() const;
    QTreeWidgetItem* selectedNode() const;
    // Selects node (none when null) as a user selection would, running the
    // selection-changed handler.
    void selectNode(QTreeWidgetItem* node);
    static int nodeData(const QTreeWidgetItem* node);

    // Connects a signal to a handler, run inside the error guard. The handler
    // takes the signal's arguments, or as many of the leading ones as it
    // declares (none at all, for a click).
    template <typename Sender, typename Signal, typename Handler>
    void connectGuarded(Sender* sender, Signal signal, Handler handler) {
        connect(sender, signal, this, [this, handler](const auto&... arguments) {
            guarded([&] { callWithLeading<sizeof...(arguments)>(handler, arguments...); });
        });
    }

protected:
    // One event case of an area: true when the event is consumed.
    using EventCase = bool (TForm1::*)(QEvent* event);
    // Routes the events of watched to an area's case (from wire<Area>()).
    void watchEvents(QObject* watched, EventCase eventCase);
    // A case that is told which control the event is for: one handler for
    // many controls, which it tells apart as its Sender.
    using SenderEventCase = bool (TForm1::*)(QObject* watched, QEvent* event);
    void watchEvents(QObject* watched, SenderEventCase eventCase);
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <std::size_t Count, typename Handler, typename... Arguments>
    void callWithLeading(Handler handler, const Arguments&... arguments) {
        using All = std::tuple<const Arguments&...>;
        const All all(arguments...);
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            if constexpr (std::is_invocable_v<Handler, TForm1*, std::tuple_element_t<I, All>...>) {
                std::invoke(handler, this, std::get<I>(all)...);
            } else {
                static_assert(Count > 0, "the handler takes none of the signal's arguments");
                if constexpr (Count > 0)
                    callWithLeading<Count - 1>(handler, arguments...);
            }
        }
        (std::make_index_sequence<Count>());
    }

    // ---- Layout (app/Form1Layout.cpp), one function per menu and page
    void buildMenus(); // and the page control
    void buildFeedInfoPage();
    void buildTopicsPage();
    void buildPublishPage();
    void buildAboutPage();

    // ---- Wiring: wireHandlers (app/Form1.cpp) calls each area's wire<Area>()
    void wireHandlers();
    void wireWindow();
    void wireHeadlineList();
    void wireFeedFileStore();
    void wireChannelFields();
    void wireChannelSchedule();
    void wireTopicEditor();
    void wireTopicCleanup();
    void wireTopicDragDrop();
    void wireMarkupToolbar();
    void wireCapture();
    void wirePublisher();

    // Window event cases (app/Form1Window.cpp)
    bool PageTabsEvent(QEvent* event);
    bool PageEvent(QEvent* event);
    bool TopicsSplitEvent(QEvent* event);
    bool pageChangeRefused();
    // Headline list event cases (feed/Form1HeadlineList.cpp)
    bool QListBoxViewportEvent(QEvent* event);
    bool CoverEvent(QEvent* event);
    void hideCoveredControls();
    // Channel fields (editing/Form1ChannelFields.cpp)
    bool ChannelFieldFocusEvent(QObject* watched, QEvent* event);
    // The 22 fields written on leaving, in the order of the Feed Info tabs.
    QList<QWidget*> channelTextFields() const;
    // A field's value as it is compared and written.
    QString channelFieldValue(QObject* Sender) const;
    // How a focus event moves the focus between the window's controls, for
    // the focus-enter and focus-leave handlers of every editing area.
    enum class FocusMove { None, Enter, Leave };
    FocusMove focusMove(QObject* watched, const QEvent* event);
    // Channel schedule (editing/Form1ChannelSchedule.cpp)
    bool ScheduleFocusEvent(QObject* watched, QEvent* event);
    // Topic editor (editing/Form1TopicEditor.cpp)
    bool TopicEnclosureEvent(QEvent* event);
    // The tree node at a position of the whole tree (the channel node is 0).
    QTreeWidgetItem* nodeAtAbsoluteIndex(int index) const;
    static int absoluteIndexOf(const QTreeWidgetItem* node);
    // Topic list clean-up (capture/Form1TopicCleanup.cpp)
    // The ending the clean-ups share: write, read back, rebuild, first topic.
    void refreshAfterCleanup();
    // Blanks a topic that ends its channel without being the feed's last item.
    void blankTopic(const TXmlNodePtr& item);
    // Topic drag and drop event cases (editing/Form1TopicDragDrop.cpp)
    bool QListBoxDragEvent(QEvent* event);
    bool QListBoxDragKeyEvent(QEvent* event);
    void endTopicDrag();
    // Markup toolbar (editing/Form1MarkupToolbar.cpp)
    bool MemoKeyEvent(QEvent* event);
    // Replaces the target memo's selection by the markup, as one undo step.
    void insertMarkup(TMarkup markup);
    // Capture event case (capture/Form1Capture.cpp)
    bool CaptureSiteEditEvent(QEvent* event);
    // Publisher (publish/Form1Publisher.cpp)
    // Publish without its ending: fills outcome as far as it gets.
    void publishFeed(TPublishOutcome& outcome);
    // Start-up (app/Form1Startup.cpp)
    bool WindowExposeEvent(QEvent* event);
    void scheduleStartup();
    bool interactiveSession() const;
    QString commandLineArgument() const;

    QWidget* TopicFields = nullptr; // the topic fields' container, under the tree
    QWidget* TopicsSplit = nullptr; // holds QPanel and APanel side by side

    Dialogs& dialogs_;
    QStringList arguments_;
    // A drag of a topic: armed by a press on a node, running once the mouse
    // has moved far enough with the button held.
    QPoint topicDragPress_;
    bool topicDragArmed_ = false;
    bool topicDragRunning_ = false;
    // The capture that runs: its address, the response it got, the topics it stored.
    bool capturing_ = false;
    QString captureAddress_;
    TCaptureResponse captureResponse_;
    int capturedTopics_ = 0;
    bool startupScheduled_ = false;
    bool activated_ = false;
    bool isWatched(const QObject* watched) const;
    std::vector<std::pair<QObject*, EventCase>> eventCases_;
    std::vector<std::pair<QObject*, SenderEventCase>> senderEventCases_;
    QObject* focusHolder_ = nullptr; // the control last entered and not yet left
};
