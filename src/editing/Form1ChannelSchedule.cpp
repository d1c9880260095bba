// TForm1's channel schedule and logo size: the dates, the time to live, the
// skip lists and the logo's width and height, written on every focus exit.
#include "app/Form1.h"

#include "editing/ChannelSchedule.h"
#include "feed/FeedDate.h"
#include "feed/FeedLookups.h"

#include <QDateEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

namespace {

QStringList checkedEntries(const QListWidget* list) {
    QStringList checked;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            checked << list->item(i)->text();
    return checked;
}

// A spin field whose text is no whole number counts as 0, whatever value it
// held before the text was typed.
int spinValue(const QSpinBox* spin) {
    return decimalOrZero(spin->cleanText().toStdU16String());
}

} // namespace

void TForm1::wireChannelSchedule() {
    for (QWidget* control : std::initializer_list<QWidget*>{
             DatePicker, TimePicker, BuildDatePicker, BuildTimePicker, TTLSpin, HoursCheckListBox,
             DaysCheckListBox, ImageWSpin, ImageHSpin})
        watchEvents(control, &TForm1::ScheduleFocusEvent);
    connectGuarded(SetTimeBtn, &QPushButton::clicked, &TForm1::SetTimeBtnClick);
    connectGuarded(SetBuildTimeBtn, &QPushButton::clicked, &TForm1::SetBuildTimeBtnClick);
}

bool TForm1::ScheduleFocusEvent(QObject* watched, QEvent* event) {
    if (focusMove(watched, event) != FocusMove::Leave)
        return false;
    if (watched == DatePicker || watched == TimePicker || watched == BuildDatePicker ||
        watched == BuildTimePicker)
        guarded([this, watched] { DatePickerExit(watched); });
    else
        guarded([this, watched] { TTLSpinExit(watched); });
    return false;
}

void TForm1::SetChannelTime(QWidget* Picker) {
    const bool published = Picker == DatePicker || Picker == TimePicker;
    const QString text = published ? feedDateText(DatePicker->date(), TimePicker->time())
                                   : feedDateText(BuildDatePicker->date(), BuildTimePicker->time());
    writeChannelDate(XMLObject.document(), published ? u"pubDate" : u"lastBuildDate", text);
    SaveXMLFile(FeedFilePath);
    LoadQandAData();
}

void TForm1::DatePickerExit(QObject* Sender) {
    SetChannelTime(qobject_cast<QWidget*>(Sender));
}

void TForm1::SetTimeBtnClick() {
    DatePicker->setDate(StartTime.date());
    TimePicker->setTime(StartTime.time());
    SetChannelTime(DatePicker);
}

void TForm1::SetBuildTimeBtnClick() {
    BuildDatePicker->setDate(StartTime.date());
    BuildTimePicker->setTime(StartTime.time());
    SetChannelTime(BuildDatePicker);
}

void TForm1::TTLSpinExit(QObject* Sender) {
    const TXmlDocumentPtr& doc = XMLObject.document();
    bool written = true;
    if (Sender == TTLSpin)
        written = writeTimeToLive(doc, spinValue(TTLSpin));
    else if (Sender == ImageWSpin)
        written = writeLogoSize(doc, u"width", spinValue(ImageWSpin));
    else if (Sender == ImageHSpin)
        written = writeLogoSize(doc, u"height", spinValue(ImageHSpin));
    else if (Sender == DaysCheckListBox)
        writeSkipList(doc, u"skipDays", u"day", checkedEntries(DaysCheckListBox));
    else if (Sender == HoursCheckListBox)
        writeSkipList(doc, u"skipHours", u"hour", checkedEntries(HoursCheckListBox));
    else
        return;
    if (!written)
        return;
    SaveXMLFile(FeedFilePath);
    LoadQandAData();
}
