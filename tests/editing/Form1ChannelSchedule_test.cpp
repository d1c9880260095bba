// The channel's dates, time to live, skip lists and logo size, written on
// every focus exit, and the dates stamped at every start-up.
#include "editing/EditingForm.h"

#include <QDateEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

namespace {

const QByteArray item = "<item><title>T</title><pubDate>item date</pubDate></item>";
const std::string itemMarkup = "<item><title>T</title><pubDate>item date</pubDate></item>";
const std::string startStamp = "Sat, 14 Mar 2026 09:26:53 +0000";
const std::string stamps =
    "<pubDate>" + startStamp + "</pubDate><lastBuildDate>" + startStamp + "</lastBuildDate>";

void check(QListWidget* list, const QStringList& entries, bool on) {
    for (const QString& entry : entries)
        list->findItems(entry, Qt::MatchExactly)
            .value(0)
            ->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

} // namespace

class Form1ChannelScheduleTest : public EditingFormFixture {};

TEST_F(Form1ChannelScheduleTest, AFreshStartCreatesTheFeedWithBothDatesBeforeTheFirstItem) {
    start();
    const auto model = loaded(homePath("Default.xml"));
    EXPECT_EQ(markupOf(channelOf(model->document())),
              "<channel><title>Channel Title</title><link>http://</link><description>RSS Feed"
              "</description><image><title/><link/><url/></image>" +
                  stamps + "<item><title/><link/><description/></item></channel>");
    // The stamping leaves the start-up on the first topic.
    EXPECT_EQ(form->selectedNode(), form->channelNode()->child(0));
}

TEST_F(Form1ChannelScheduleTest, EveryExitWritesItsElement) {
    using Act = void (*)(TForm1&);
    using Control = QWidget* (*)(TForm1&);
    const struct {
        const char* what;
        QByteArray extra;
        Control control;
        Act act;
        std::string channel;
    } cases[] = {
        {"a date left unchanged is written again", "",
         [](TForm1& f) -> QWidget* { return f.TimePicker; }, [](TForm1&) {}, stamps + itemMarkup},
        {"a new time", "", [](TForm1& f) -> QWidget* { return f.TimePicker; },
         [](TForm1& f) { f.TimePicker->setTime(QTime(7, 5, 0)); },
         "<pubDate>Sat, 14 Mar 2026 07:05:00 +0000</pubDate><lastBuildDate>" + startStamp +
             "</lastBuildDate>" + itemMarkup},
        {"time to live typed", "", [](TForm1& f) -> QWidget* { return f.TTLSpin; },
         [](TForm1&) {
             selectAll();
             type("60");
         },
         stamps + "<ttl>60</ttl>" + itemMarkup},
        {"time to live emptied", "<ttl>30</ttl>", [](TForm1& f) -> QWidget* { return f.TTLSpin; },
         [](TForm1&) {
             selectAll();
             backspace();
         },
         stamps + itemMarkup},
        {"logo width", "<image><url>u</url></image>",
         [](TForm1& f) -> QWidget* { return f.ImageWSpin; },
         [](TForm1&) {
             selectAll();
             type("88");
         },
         "<image><url>u</url><width>88</width></image>" + stamps + itemMarkup},
        {"skip days in list order", "", [](TForm1& f) -> QWidget* { return f.DaysCheckListBox; },
         [](TForm1& f) {
             check(f.DaysCheckListBox, {"Saturday", "Monday"}, true);
         },
         stamps + "<skipDays><day>Monday</day><day>Saturday</day></skipDays>" + itemMarkup},
        {"no hour checked leaves the list empty", "<skipHours><hour>3</hour></skipHours>",
         [](TForm1& f) -> QWidget* { return f.HoursCheckListBox; },
         [](TForm1& f) { check(f.HoursCheckListBox, {"3"}, false); },
         "<skipHours/>" + stamps + itemMarkup},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        startOn("news.xml", feed("Feed", item, c.extra));
        QWidget* control = c.control(*form);
        showPage(form->ChannelPage, control == form->ImageWSpin ? form->LogoTab : form->TimeTab);
        enter(control);
        QFile::remove(feedPath());
        c.act(*form);
        // Tab walks the sections of a date or time; the focus leaves for another control.
        enter(control == form->TTLSpin ? static_cast<QWidget*>(form->HoursCheckListBox)
                                       : form->TTLSpin);
        EXPECT_EQ(channelIn(feedPath()), c.channel);
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
        form.reset();
    }
}

TEST_F(Form1ChannelScheduleTest, ATimeToLiveOfZeroWithoutOneWritesNothing) {
    startOn("news.xml", feed("Feed", item));
    showPage(form->ChannelPage, form->TimeTab);
    QFile::remove(feedPath());
    enter(form->TTLSpin);
    tab();
    EXPECT_FALSE(QFile::exists(feedPath()));
}

TEST_F(Form1ChannelScheduleTest, SetCurrentWritesTheStartTime) {
    startOn("news.xml", feed("Feed", item));
    showPage(form->ChannelPage, form->TimeTab);
    form->BuildDatePicker->setDate(QDate(2001, 2, 3));
    click(form->SetBuildTimeBtn);
    EXPECT_EQ(form->BuildDatePicker->date(), QDate(2026, 3, 14));
    EXPECT_EQ(channelIn(feedPath()), stamps + itemMarkup);
}

TEST_F(Form1ChannelScheduleTest, UndoAfterAChannelChangeRestoresTheLastTopicChange) {
    startOn("news.xml", feed("Feed", item));
    form->SaveXMLFile(form->BackupFilePath);
    const QByteArray backup = readFile(backupPath());
    showPage(form->ChannelPage, form->TimeTab);
    enter(form->TTLSpin);
    selectAll();
    type("5");
    tab();
    ASSERT_NE(channelIn(feedPath()).find("<ttl>5</ttl>"), std::string::npos);
    form->UndoBtnClick();
    EXPECT_EQ(channelIn(feedPath()), stamps + itemMarkup);
    EXPECT_EQ(readFile(backupPath()), backup);
}
