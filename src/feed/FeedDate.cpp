#include "feed/FeedDate.h"

#include "feed/Clock.h"

#include <array>
#include <cstdlib>

namespace {

// RFC 822 names, independent of the user's language.
constexpr std::array<const char*, 7> dayNames = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<const char*, 12> monthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

QString feedDateText(QDate date, QTime time) {
    // The pickers always hold valid values; an invalid one is written as the
    // first day of year 1 or as midnight rather than producing garbage.
    if (!date.isValid())
        date = QDate(1, 1, 1);
    if (!time.isValid())
        time = QTime(0, 0);
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8")
        .arg(QLatin1String(dayNames[date.dayOfWeek() - 1]), twoDigits(date.day()),
             QLatin1String(monthNames[date.month() - 1]))
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(twoDigits(time.hour()), twoDigits(time.minute()), twoDigits(time.second()),
             zoneSuffix());
}

QString zoneSuffix() {
    const QDateTime utc = GetSystemTimeUTC();
    const QDateTime local = GetLocalTimeNUTC();
    // Zone offsets are whole minutes. The two clocks are read a moment apart
    // and may straddle a second, so the difference is taken to the nearest
    // minute before the hours are rounded; otherwise a half-hour zone could
    // flip to the wrong hour.
    const qint64 seconds = utc.secsTo(local);
    const qint64 minutes = (seconds >= 0 ? seconds + 30 : seconds - 30) / 60;
    const qint64 whole = std::llabs(minutes) / 60;
    const qint64 rest = std::llabs(minutes) % 60;
    const qint64 hours = whole + ((rest > 30 || (rest == 30 && whole % 2 == 1)) ? 1 : 0);
    return QStringLiteral("%1%2%3")
        .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String("00"));
}
