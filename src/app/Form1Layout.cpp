// The window's structure: every control by name, with its caption, hint,
// items, limits and initial state, one function per menu and page. Behaviour
// is wired by the areas' handler files.
#include "app/Form1.h"
#include "app/Pictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <limits>

namespace {

QLineEdit* textField(QWidget* parent) {
    return new QLineEdit(parent);
}

QPushButton* button(const QString& caption, QWidget* parent, const QString& hint = {}) {
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(hint);
    return b;
}

QPushButton* ellipsisButton(QWidget* parent) {
    auto* b = new QPushButton(QStringLiteral("..."), parent);
    b->setFixedWidth(28);
    return b;
}

QString shortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    // Two-digit years read back into the wrong century; always show four.
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QDateEdit* datePicker(QWidget* parent) {
    auto* picker = new QDateEdit(parent);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(shortDateFormat());
    return picker;
}

QTimeEdit* timePicker(QWidget* parent) {
    auto* picker = new QTimeEdit(parent);
    picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    return picker;
}

QSpinBox* spinField(int minimum, int maximum, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(minimum, maximum);
    spin->setValue(0);
    return spin;
}

QListWidget* checkList(const QStringList& entries, QWidget* parent) {
    auto* list = new QListWidget(parent);
    for (const QString& entry : entries) {
        auto* item = new QListWidgetItem(entry, list);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    return list;
}

QToolButton* markupButton(const QString& hint, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setToolTip(hint);
    b->setAutoRaise(false);
    b->setIconSize(QSize(16, 16));
    b->setMinimumSize(26, 26);
    // The buttons work on the memo that has the focus; clicking must not take it.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QToolButton* pictureButton(const QIcon& picture, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setIcon(picture);
    b->setIconSize(QSize(20, 20));
    return b;
}

QPlainTextEdit* scratchMemo(QWidget* parent) {
    auto* memo = new QPlainTextEdit(parent);
    memo->hide();
    return memo;
}

QFrame* panel(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::NoFrame);
    return frame;
}

QWidget* tab(QTabWidget* tabs, const QString& caption) {
    auto* page = new QWidget;
    tabs->addTab(page, caption);
    return page;
}

QFormLayout* formOn(QWidget* page) {
    auto* form = new QFormLayout(page);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return form;
}

QLabel* label(const QString& text) {
    auto* l = new QLabel(text);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

// A grid cell that holds the widest entry (check box, text and padding) in
// the list's font, so no entry is cut whatever the font size.
QSize checkListCell(const QListWidget* list, const QStringList& entries) {
    const QFontMetrics metrics(list->font());
    int text = 0;
    for (const QString& entry : entries)
        text = qMax(text, metrics.horizontalAdvance(entry));
    const QStyle* style = list->style();
    const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, list);
    const int indicatorHeight = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, list);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    return QSize(indicator + text + 6 * margin + metrics.averageCharWidth(),
                 qMax(metrics.height(), indicatorHeight) + 2 * margin + 2);
}

QWidget* withButton(QWidget* field, QWidget* button) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return row;
}

} // namespace

void TForm1::buildMenus() {
    setWindowTitle(QStringLiteral("Quillo"));
    setWindowIcon(QIcon(QStringLiteral(":/quillo/quillo.png")));
    ImageList = treeStatePictures();

    MProject = menuBar()->addMenu(QStringLiteral("&Publication"));
    MPNew = MProject->addAction(QStringLiteral("Create New Publication"));
    MPOpen = MProject->addAction(QStringLiteral("Open Existing Publication"));
    MPSave = MProject->addAction(QStringLiteral("Save Publication As"));
    MPCheck = MProject->addAction(QStringLiteral("Check Publication"));
    MProject->addSeparator();
    MPDownload = MProject->addAction(QStringLiteral("Download Existing Publication"));
    MProject->addSeparator();
    MClearTopics = MProject->addAction(QStringLiteral("Clear Topic List"));
    MProject->addSeparator();
    MPExit = MProject->addAction(QStringLiteral("Exit Publication"));
    MHelp = menuBar()->addAction(QStringLiteral("&Help"));

    Page = new QTabWidget(this);
    setCentralWidget(Page);
    ChannelPage = new QWidget;
    TopicsPage = new QWidget;
    PublishPage = new QWidget;
    AboutPage = new QWidget;
    Page->addTab(ChannelPage, QStringLiteral("Feed Info"));
    Page->addTab(TopicsPage, QStringLiteral("Topics"));
    Page->addTab(PublishPage, QStringLiteral("Publish"));
    Page->addTab(AboutPage, QStringLiteral("About"));
}

void TForm1::buildFeedInfoPage() {
    auto* channelLayout = new QVBoxLayout(ChannelPage);
    FeedTabs = new QTabWidget(ChannelPage);
    FeedTabs->setDocumentMode(true);
    FeedTabs->setStyleSheet(
        QStringLiteral("QTabBar::tab { border: 1px solid palette(mid); border-radius: 3px;"
                       " padding: 4px 10px; margin: 2px; background: palette(button); }"
                       "QTabBar::tab:selected { background: palette(highlight);"
                       " color: palette(highlighted-text); }"));
    channelLayout->addWidget(FeedTabs);

    RequiredTab = tab(FeedTabs, QStringLiteral("Required"));
    TitleEdit = textField(RequiredTab);
    DescEdit = textField(RequiredTab);
    LinkEdit = textField(RequiredTab);
    auto* required = formOn(RequiredTab);
    required->addRow(QStringLiteral("Title:"), TitleEdit);
    required->addRow(QStringLiteral("Description:"), DescEdit);
    required->addRow(QStringLiteral("Link:"), LinkEdit);

    DetailsTab = tab(FeedTabs, QStringLiteral("Details"));
    WebMasterEdit = textField(DetailsTab);
    ManagingEditorEdit = textField(DetailsTab);
    CategoryEdit = textField(DetailsTab);
    CategoryAttrBtn = ellipsisButton(DetailsTab);
    CopyrightEdit = textField(DetailsTab);
    LangBox = new QComboBox(DetailsTab);
    LangBox->setEditable(true);
    LangBox->setInsertPolicy(QComboBox::NoInsert);
    QStringList languages{QStringLiteral("[de-DE] German (Germany)"),
                          QStringLiteral("[el-GR] Greek (Greece)"),
                          QStringLiteral("[en-GB] English (United Kingdom)"),
                          QStringLiteral("[en-US] English (United States)"),
                          QStringLiteral("[fr-CA] French (Canada)"),
                          QStringLiteral("[fr-FR] French (France)"),
                          QStringLiteral("[it-IT] Italian (Italy)"),
                          QStringLiteral("[ja-JP] Japanese (Japan)"),
                          QStringLiteral("[ko-KR] Korean (Korea)")};
    languages.sort();
    LangBox->addItems(languages);
    LangBox->setEditText(QStringLiteral("[en-US] English (United States)"));
    DocsEdit = textField(DetailsTab);
    RatingEdit = textField(DetailsTab);
    auto* details = formOn(DetailsTab);
    details->addRow(QStringLiteral("Webmaster:"), WebMasterEdit);
    details->addRow(QStringLiteral("Managing Editor:"), ManagingEditorEdit);
    details->addRow(QStringLiteral("Category:"), withButton(CategoryEdit, CategoryAttrBtn));
    details->addRow(QStringLiteral("Copyright:"), CopyrightEdit);
    details->addRow(QStringLiteral("Language:"), LangBox);
    details->addRow(QStringLiteral("Docs:"), DocsEdit);
    details->addRow(QStringLiteral("Rating:"), RatingEdit);

    TimeTab = tab(FeedTabs, QStringLiteral("Date/Time"));
    DatePicker = datePicker(TimeTab);
    TimePicker = timePicker(TimeTab);
    SetTimeBtn = button(QStringLiteral("Set Current"), TimeTab);
    BuildDatePicker = datePicker(TimeTab);
    BuildTimePicker = timePicker(TimeTab);
    SetBuildTimeBtn = button(QStringLiteral("Set Current"), TimeTab);
    TTLSpin = spinField(std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), TimeTab);
    QStringList hours;
    for (int h = 0; h < 24; ++h)
        hours << QString::number(h);
    HoursCheckListBox = checkList(hours, TimeTab);
    HoursCheckListBox->setFlow(QListView::TopToBottom);
    HoursCheckListBox->setWrapping(true);
    HoursCheckListBox->setResizeMode(QListView::Adjust);
    HoursCheckListBox->setGridSize(checkListCell(HoursCheckListBox, hours));
    DaysCheckListBox =
        checkList({QStringLiteral("Monday"), QStringLiteral("Tuesday"), QStringLiteral("Wednesday"),
                   QStringLiteral("Thursday"), QStringLiteral("Friday"), QStringLiteral("Saturday"),
                   QStringLiteral("Sunday")},
                  TimeTab);
    DaysCheckListBox->setSpacing(1);
    auto* time = new QGridLayout(TimeTab);
    time->addWidget(label(QStringLiteral("Publication Date:")), 0, 0);
    time->addWidget(DatePicker, 0, 1);
    time->addWidget(label(QStringLiteral("PublicationTime:")), 0, 2);
    time->addWidget(TimePicker, 0, 3);
    time->addWidget(SetTimeBtn, 0, 4);
    time->addWidget(label(QStringLiteral("Last Build Date:")), 1, 0);
    time->addWidget(BuildDatePicker, 1, 1);
    time->addWidget(label(QStringLiteral("Last Build Time:")), 1, 2);
    time->addWidget(BuildTimePicker, 1, 3);
    time->addWidget(SetBuildTimeBtn, 1, 4);
    time->addWidget(label(QStringLiteral("T T L:")), 2, 0);
    time->addWidget(TTLSpin, 2, 1);
    auto* skipHours = label(QStringLiteral("Skip Hours:"));
    skipHours->setAlignment(Qt::AlignRight | Qt::AlignTop);
    time->addWidget(skipHours, 3, 0);
    time->addWidget(HoursCheckListBox, 3, 1);
    auto* skipDays = label(QStringLiteral("Skip Days:"));
    skipDays->setAlignment(Qt::AlignRight | Qt::AlignTop);
    time->addWidget(skipDays, 3, 2);
    time->addWidget(DaysCheckListBox, 3, 3, 1, 2);
    time->setRowStretch(3, 1);
    time->setColumnStretch(1, 1);
    time->setColumnStretch(3, 1);

    LogoTab = tab(FeedTabs, QStringLiteral("Logo"));
    ImageTitleEdit = textField(LogoTab);
    ImageSiteLinkEdit = textField(LogoTab);
    ImageLinkEdit = textField(LogoTab);
    ImageWSpin = spinField(0, 144, LogoTab);
    ImageHSpin = spinField(0, 400, LogoTab);
    auto* logo = formOn(LogoTab);
    logo->addRow(QStringLiteral("Title:"), ImageTitleEdit);
    logo->addRow(QStringLiteral("Site Link:"), ImageSiteLinkEdit);
    logo->addRow(QStringLiteral("Image Link:"), ImageLinkEdit);
    logo->addRow(QStringLiteral("Image Width:"), ImageWSpin);
    logo->addRow(QStringLiteral("Image Height:"), ImageHSpin);
    ImageWSpin->setMaximumWidth(100);
    ImageHSpin->setMaximumWidth(100);

    CloudTab = tab(FeedTabs, QStringLiteral("Cloud"));
    CloudDomainEdit = textField(CloudTab);
    CloudPathEdit = textField(CloudTab);
    CloudRegisterEdit = textField(CloudTab);
    CloudPortEdit = textField(CloudTab);
    CloudProtocolEdit = textField(CloudTab);
    auto* cloud = formOn(CloudTab);
    cloud->addRow(QStringLiteral("Domain:"), CloudDomainEdit);
    cloud->addRow(QStringLiteral("Path:"), CloudPathEdit);
    cloud->addRow(QStringLiteral("Register Procedure:"), CloudRegisterEdit);
    cloud->addRow(QStringLiteral("Port:"), CloudPortEdit);
    cloud->addRow(QStringLiteral("Protocol:"), CloudProtocolEdit);

    TextInputTab = tab(FeedTabs, QStringLiteral("Text Input"));
    TITitleEdit = textField(TextInputTab);
    TIDescEdit = textField(TextInputTab);
    TINameEdit = textField(TextInputTab);
    TILinkEdit = textField(TextInputTab);
    auto* textInput = formOn(TextInputTab);
    textInput->addRow(QStringLiteral("Title:"), TITitleEdit);
    textInput->addRow(QStringLiteral("Description:"), TIDescEdit);
    textInput->addRow(QStringLiteral("Name:"), TINameEdit);
    textInput->addRow(QStringLiteral("Link:"), TILinkEdit);
}

void TForm1::buildTopicsPage() {
    auto* topics = new QVBoxLayout(TopicsPage);
    topics->setContentsMargins(4, 4, 4, 4);
    topics->setSpacing(2);

    // The two labels are placed over the halves by BottomPanelResize.
    TopPanel = panel(TopicsPage);
    TopPanel->setFixedHeight(22);
    QViewLabel = new QLabel(QStringLiteral("Headlines:"), TopPanel);
    AViewLabel = new QLabel(QStringLiteral("Synopsis for selected Headline:"), TopPanel);
    CaptureProgressLabel = new QLabel(TopPanel);
    CaptureProgressLabel->move(4, 4);
    CaptureProgressLabel->hide();
    topics->addWidget(TopPanel);

    // The halves are placed by BottomPanelResize.
    TopicsSplit = new QWidget(TopicsPage);
    topics->addWidget(TopicsSplit, 1);

    // Left half: the topic fields, with the tree over them in the same cell.
    QPanel = panel(TopicsSplit);
    auto* qCell = new QGridLayout(QPanel);
    qCell->setContentsMargins(0, 0, 2, 0);
    auto* fields = new QWidget(QPanel);
    TopicFields = fields;
    TopicLink = textField(fields);
    TopicAuthor = textField(fields);
    TopicEnclosure = textField(fields);
    TopicEnclosureBtn = ellipsisButton(fields);
    EnclosureLengthLabel = new QLabel(QStringLiteral("EnclosureLength:"), fields);
    EnclosureLength = textField(fields);
    EnclosureLength->setReadOnly(true);
    EnclosureTypeLabel = new QLabel(QStringLiteral("Type:"), fields);
    EnclosureType = textField(fields);
    EnclosureType->setReadOnly(true);
    TopicDatePicker = datePicker(fields);
    TopicTimePicker = timePicker(fields);
    SetTopicTimeBtn = button(QStringLiteral("Current"), fields);
    TopicComments = textField(fields);
    TopicSource = textField(fields);
    TopicCategory = textField(fields);
    TopicCategoryBtn = ellipsisButton(fields);
    TopicGUID = textField(fields);
    TopicGUIDBtn = ellipsisButton(fields);
    auto* topicForm = new QGridLayout(fields);
    topicForm->setContentsMargins(2, 2, 2, 2);
    topicForm->setVerticalSpacing(3);
    int row = 0;
    auto topicRow = [&](const QString& caption, QWidget* field, QWidget* extra = nullptr) {
        topicForm->addWidget(label(caption), row, 0);
        topicForm->addWidget(field, row, 1, 1, extra ? 1 : 2);
        if (extra)
            topicForm->addWidget(extra, row, 2);
        ++row;
    };
    topicRow(QStringLiteral("Link:"), TopicLink);
    topicRow(QStringLiteral("Author:"), TopicAuthor);
    topicRow(QStringLiteral("Enclosure:"), TopicEnclosure, TopicEnclosureBtn);
    EnclosureLengthLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    EnclosureTypeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    topicForm->addWidget(EnclosureLengthLabel, row, 0);
    topicForm->addWidget(EnclosureLength, row++, 1, 1, 2);
    topicForm->addWidget(EnclosureTypeLabel, row, 0);
    topicForm->addWidget(EnclosureType, row++, 1, 1, 2);
    topicRow(QStringLiteral("Date:"), TopicDatePicker);
    topicRow(QStringLiteral("Time:"), TopicTimePicker, SetTopicTimeBtn);
    topicRow(QStringLiteral("Comments:"), TopicComments);
    topicRow(QStringLiteral("Source:"), TopicSource);
    topicRow(QStringLiteral("Category:"), TopicCategory, TopicCategoryBtn);
    topicRow(QStringLiteral("GUID:"), TopicGUID, TopicGUIDBtn);
    topicForm->setRowStretch(row, 1);
    topicForm->setColumnStretch(1, 1);
    EnclosureLengthLabel->hide();
    EnclosureLength->hide();
    EnclosureTypeLabel->hide();
    EnclosureType->hide();
    qCell->addWidget(fields, 0, 0);

    QListBox = new QTreeWidget(QPanel);
    QListBox->setHeaderHidden(true);
    QListBox->setColumnCount(1);
    QListBox->setIndentation(18);
    QListBox->setUniformRowHeights(true);
    QListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    QListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Topics are dragged by the window's own handling of the mouse
    // (editing/Form1TopicDragDrop.cpp): the view neither starts a drag nor
    // takes a drop, so it never moves a node itself.
    QListBox->setDragEnabled(false);
    QListBox->setDragDropMode(QAbstractItemView::NoDragDrop);
    QListBox->setContextMenuPolicy(Qt::CustomContextMenu);
    QListBox->setExpandsOnDoubleClick(false);
    QListBox->setIconSize(QSize(16, 16));
    // The selection stays visible when the tree loses the focus.
    QPalette treeColours = QListBox->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        treeColours.setColor(QPalette::Inactive, role, treeColours.color(QPalette::Active, role));
    QListBox->setPalette(treeColours);
    qCell->addWidget(QListBox, 0, 0);

    PopMenu1 = new QMenu(QListBox);
    PMAddQA = PopMenu1->addAction(QStringLiteral("&Add Topic"));
    PMEdit = PopMenu1->addAction(QStringLiteral("&Edit"));
    PMRemove = PopMenu1->addAction(QStringLiteral("&Remove"));

    // Right half: headline memo and synopsis caption on top while editing, the
    // synopsis memo below with the preview over it while viewing.
    APanel = panel(TopicsSplit);
    auto* aColumn = new QVBoxLayout(APanel);
    aColumn->setContentsMargins(2, 0, 0, 0);
    aColumn->setSpacing(2);
    QMemo = new QPlainTextEdit(APanel);
    QMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    QMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QMemo->setFixedHeight(QMemo->fontMetrics().lineSpacing() * 3 + 20);
    QMemo->hide();
    aColumn->addWidget(QMemo);
    SynopsisPanel = new TCaptionPanel(QStringLiteral("Enter or Edit Article Synopsis"), APanel);
    SynopsisPanel->hide();
    aColumn->addWidget(SynopsisPanel);
    auto* aCell = new QGridLayout;
    AMemo = new QPlainTextEdit(APanel);
    AMemo->setReadOnly(true);
    AMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    aCell->addWidget(AMemo, 0, 0);
    HTMLText = new THtmlView(APanel);
    aCell->addWidget(HTMLText, 0, 0);
    aColumn->addLayout(aCell, 1);

    BottomPanel = panel(TopicsPage);
    auto* bottom = new QVBoxLayout(BottomPanel);
    bottom->setContentsMargins(0, 2, 0, 0);
    bottom->setSpacing(2);
    auto* controls = new QHBoxLayout;
    bottom->addLayout(controls);

    LeftPanel = panel(BottomPanel);
    AddBtn = button(QStringLiteral("&Add"), LeftPanel, QStringLiteral("Add Topic to Feed"));
    EditBtn = button(QStringLiteral("&Edit"), LeftPanel, QStringLiteral("Edit Topic"));
    RemoveBtn = button(QStringLiteral("&Remove"), LeftPanel, QStringLiteral("Remove Topic"));
    UndoBtn = button(QStringLiteral("&Undo"), LeftPanel);
    AutoCaptureBtn = button(QStringLiteral("&Capture Topics from URL:"), LeftPanel,
                            QStringLiteral("Enter URL of site to  capture below."));
    CaptureSiteEdit = textField(LeftPanel);
    Advanced = new QCheckBox(QStringLiteral("Advanced"), LeftPanel);
    auto* left = new QGridLayout(LeftPanel);
    left->setContentsMargins(0, 0, 0, 0);
    auto* topicButtons = new QHBoxLayout;
    for (QPushButton* b : {AddBtn, EditBtn, RemoveBtn, UndoBtn})
        topicButtons->addWidget(b);
    topicButtons->addStretch(1);
    left->addLayout(topicButtons, 0, 0, 1, 3);
    left->addWidget(AutoCaptureBtn, 1, 0);
    left->addWidget(CaptureSiteEdit, 1, 1);
    left->addWidget(Advanced, 1, 2);
    left->setColumnStretch(1, 1);
    controls->addWidget(LeftPanel, 1);

    RightPanel = panel(BottomPanel);
    ParagraphButton = markupButton(QStringLiteral("Paragraph (blank line)"), RightPanel);
    ParagraphButton->setIcon(paragraphPicture());
    OrderedListButton = markupButton(QStringLiteral("Ordered List"), RightPanel);
    OrderedListButton->setIcon(orderedListPicture());
    UnorderedListButton = markupButton(QStringLiteral("Unordered List"), RightPanel);
    UnorderedListButton->setIcon(unorderedListPicture());
    ListButton = markupButton(QStringLiteral("List Item"), RightPanel);
    ListButton->setIcon(listItemPicture());
    FarAnchorButton = markupButton(QStringLiteral("Link reference to another page"), RightPanel);
    FarAnchorButton->setIcon(farAnchorPicture());
    QuoteButton =
        markupButton(QStringLiteral("Indent with Blockquote (selected text)"), RightPanel);
    QuoteButton->setText(QStringLiteral("\"   \""));
    BlankSpaceButton = markupButton(QStringLiteral("Insert Blank Space"), RightPanel);
    BlankSpaceButton->setIcon(blankSpacePicture());
    BoldButton = markupButton(QStringLiteral("Bold  (selected text)"), RightPanel);
    BoldButton->setText(QStringLiteral("B"));
    ItalicButton = markupButton(QStringLiteral("Italicize (selected text)"), RightPanel);
    ItalicButton->setText(QStringLiteral("I"));
    UnderlineButton = markupButton(QStringLiteral("Underline (selected text)"), RightPanel);
    UnderlineButton->setText(QStringLiteral("U"));
    QFont face = BoldButton->font();
    face.setBold(true);
    BoldButton->setFont(face);
    face.setBold(false);
    face.setItalic(true);
    ItalicButton->setFont(face);
    face.setItalic(false);
    face.setUnderline(true);
    UnderlineButton->setFont(face);
    MM = scratchMemo(RightPanel);
    CR = scratchMemo(RightPanel);
    CR->setPlainText(QString());
    NoMemo = scratchMemo(RightPanel);
    SavePanel = panel(RightPanel);
    CancelBtn = button(QStringLiteral("&Cancel"), SavePanel);
    SaveBtn = button(QStringLiteral("&Save Topic"), SavePanel);
    NextBtn = button(QStringLiteral("&Next Topic"), SavePanel, QStringLiteral("Add Next Question"));
    CancelBtn->hide();
    SaveBtn->hide();
    auto* saveRow = new QHBoxLayout(SavePanel);
    saveRow->setContentsMargins(0, 0, 0, 0);
    saveRow->addStretch(1);
    saveRow->addWidget(CancelBtn);
    saveRow->addWidget(SaveBtn);
    saveRow->addWidget(NextBtn);
    auto* right = new QVBoxLayout(RightPanel);
    right->setContentsMargins(0, 0, 0, 0);
    auto* markup = new QHBoxLayout;
    markup->setSpacing(2);
    for (QToolButton* b :
         {ParagraphButton, OrderedListButton, UnorderedListButton, ListButton, FarAnchorButton,
          QuoteButton, BlankSpaceButton, BoldButton, ItalicButton, UnderlineButton})
        markup->addWidget(b);
    markup->addStretch(1);
    right->addLayout(markup);
    right->addWidget(SavePanel);
    RightPanel->hide();
    controls->addWidget(RightPanel, 1);

    // The two caption panels are placed under the halves by BottomPanelResize.
    QTitlePanel = panel(BottomPanel);
    TopicPanel = new TCaptionPanel(QStringLiteral("Channel:"), QTitlePanel);
    QuestionPanel = new TCaptionPanel(QStringLiteral("Item:"), QTitlePanel);
    QTitlePanel->setFixedHeight(qMax(TopicPanel->sizeHint().height(), 18));
    bottom->addWidget(QTitlePanel);
    topics->addWidget(BottomPanel);
}

void TForm1::buildPublishPage() {
    Label42 = new QLabel(QStringLiteral("Select Local Directory:"), PublishPage);
    SelectLocalBtn = pictureButton(folderPicture(), PublishPage);
    LocalLabel2 = new QLabel(PublishPage);
    Label43 = new QLabel(QStringLiteral("New FTP Location:"), PublishPage);
    AddFTPBtn = pictureButton(addLocationPicture(), PublishPage);
    FTPComboBox = new QComboBox(PublishPage);
    FTPComboBox->setEditable(true);
    FTPComboBox->setInsertPolicy(QComboBox::NoInsert);
    UserIDLabel = new QLabel(QStringLiteral("User ID:"), PublishPage);
    UserIDField = textField(PublishPage);
    PasswordLabel = new QLabel(QStringLiteral("Password:"), PublishPage);
    PasswordField = textField(PublishPage);
    PasswordField->setEchoMode(QLineEdit::Password);
    PasswordField->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    FileNameLabel = new QLabel(QStringLiteral("Name of RSS File:"), PublishPage);
    FileNameField = textField(PublishPage);

    auto* publish = new QVBoxLayout(PublishPage);
    auto* target = new QGridLayout;
    for (QLabel* l : {Label42, Label43, UserIDLabel, PasswordLabel, FileNameLabel})
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    target->addWidget(Label42, 0, 0);
    target->addWidget(SelectLocalBtn, 0, 1);
    target->addWidget(LocalLabel2, 0, 2);
    target->addWidget(Label43, 1, 0);
    target->addWidget(AddFTPBtn, 1, 1);
    target->addWidget(FTPComboBox, 1, 2);
    target->addWidget(UserIDLabel, 2, 0);
    target->addWidget(UserIDField, 2, 2);
    target->addWidget(PasswordLabel, 3, 0);
    target->addWidget(PasswordField, 3, 2);
    target->addWidget(FileNameLabel, 4, 0);
    target->addWidget(FileNameField, 4, 2);
    target->setColumnStretch(2, 1);
    publish->addLayout(target);
    publish->addStretch(1);

    PublishPanel = panel(PublishPage);
    PublishPanel->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    LocalRadio = new QRadioButton(QStringLiteral("Publish to Local"), PublishPanel);
    FTPRadio = new QRadioButton(QStringLiteral("Publish to FTP"), PublishPanel);
    FTPRadio->setChecked(true);
    PublishBtn =
        button(QStringLiteral("Publish"), PublishPanel, QStringLiteral("Publish FAQ Page."));
    auto* publishRow = new QHBoxLayout(PublishPanel);
    publishRow->addWidget(LocalRadio);
    publishRow->addWidget(FTPRadio);
    publishRow->addStretch(1);
    publishRow->addWidget(PublishBtn);
    publish->addWidget(PublishPanel);

    PublishPanelBottom = panel(PublishPage);
    auto* bottomRow = new QHBoxLayout(PublishPanelBottom);
    bottomRow->setContentsMargins(0, 0, 0, 0);
    Panel2 = new TCaptionPanel(QStringLiteral(" Publish To: "), PublishPanelBottom);
    Panel2->setCaptionAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LocalLabel = new QLabel(Panel2);
    auto* panel2Row = new QHBoxLayout(Panel2);
    panel2Row->setContentsMargins(Panel2->fontMetrics().horizontalAdvance(Panel2->caption()) + 12,
                                  2, 4, 2);
    panel2Row->addWidget(LocalLabel, 1);
    Panel2->setMinimumHeight(LocalLabel->sizeHint().height() + 8);
    bottomRow->addWidget(Panel2);
    publish->addWidget(PublishPanelBottom);
}

void TForm1::buildAboutPage() {
    auto* about = new QVBoxLayout(AboutPage);
    AboutMemo = new QPlainTextEdit(AboutPage);
    about->addWidget(AboutMemo);
}
