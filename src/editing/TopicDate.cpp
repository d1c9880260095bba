#include "editing/TopicDate.h"

#include "feed/Clock.h"
#include "feed/FeedDate.h"

#include <QRegularExpression>

#include <array>

namespace {

constexpr std::array<const char*, 12> monthNames = {"jan", "feb", "mar", "apr", "may", "jun",
                                                    "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<const char*, 12> fullMonthNames = {
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};

struct NamedZone {
    const char* name;
    int hours;
};
constexpr std::array<NamedZone, 12> namedZones = {{
    {"gmt", 0},
    {"ut", 0},
    {"utc", 0},
    {"z", 0},
    {"est", -5},
    {"edt", -4},
    {"cst", -6},
    {"cdt", -5},
    {"mst", -7},
    {"mdt", -6},
    {"pst", -8},
    {"pdt", -7},
}};

int monthOf(const QString& name) {
    const QString lower = name.toLower();
    for (int i = 0; i < 12; ++i)
        if (lower == QLatin1String(monthNames[i]) || lower == QLatin1String(fullMonthNames[i]))
            return i + 1;
    return 0;
}

std::optional<int> zoneOffsetSeconds(const QString& zone) {
    if (zone.isEmpty())
        return 0;
    if (zone[0] == u'+' || zone[0] == u'-') {
        const int hours = zone.mid(1, 2).toInt();
        const int minutes = zone.mid(3, 2).toInt();
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        const int seconds = hours * 3600 + minutes * 60;
        return zone[0] == u'-' ? -seconds : seconds;
    }
    const QString lower = zone.toLower();
    for (const NamedZone& named : namedZones)
        if (lower == QLatin1String(named.name))
            return named.hours * 3600;
    return std::nullopt;
}

} // namespace

std::optional<QDateTime> parseFeedDate(const QString& text) {
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*(?:[A-Za-z]{3,9}\s*,?\s*)?(\d{1,2})\s+([A-Za-z]{3,9})\s+(\d{4}|\d{2})\s+)"
        R"((\d{1,2}):(\d{2})(?::(\d{2}))?(?:\s*([+-]\d{4}|[A-Za-z]{1,3}))?\s*$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int month = monthOf(match.captured(2));
    int year = match.captured(3).toInt();
    if (match.captured(3).size() == 2)
        year += year < 50 ? 2000 : 1900;
    const QDate date(year, month, match.captured(1).toInt());
    // A leap second is read as the last second of its minute.
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     qMin(match.captured(6).toInt(), 59));
    const std::optional<int> offset = zoneOffsetSeconds(match.captured(7));
    if (month == 0 || !date.isValid() || !time.isValid() || !offset)
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC).addSecs(-*offset);
}

QDateTime pickerTimeForEdit(const QString& pubDate, const QDateTime& startTime,
                            int localOffsetSeconds) {
    if (const std::optional<QDateTime> utc = parseFeedDate(pubDate))
        return utc->addSecs(localOffsetSeconds);
    return startTime;
}

QString pubDateForSave(const std::optional<TKeptPubDate>& kept, QDate pickedDate,
                       QTime pickedTime) {
    if (kept && kept->date == pickedDate && kept->time == pickedTime)
        return kept->text;
    return feedDateText(pickedDate, pickedTime);
}

int localClockOffsetSeconds() {
    const qint64 seconds = GetSystemTimeUTC().secsTo(GetLocalTimeNUTC());
    // The clocks are read a moment apart; zones are whole minutes.
    const qint64 minutes = (seconds >= 0 ? seconds + 30 : seconds - 30) / 60;
    return static_cast<int>(minutes * 60);
}
