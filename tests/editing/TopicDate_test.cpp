#include "editing/TopicDate.h"
#include "feed/Clock.h"

#include <gtest/gtest.h>

namespace {

QDateTime utc(int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

TEST(TopicDate, FeedDatesAreReadAsTheMomentTheyName) {
    const struct {
        const char* text;
        std::optional<QDateTime> moment;
    } cases[] = {
        {"Sat, 14 Mar 2026 09:26:53 +0000", utc(2026, 3, 14, 9, 26, 53)},
        {"Sat, 14 Mar 2026 09:26:53 +0100", utc(2026, 3, 14, 8, 26, 53)},
        {"Tue, 05 Apr 2005 14:30:00 -0800", utc(2005, 4, 5, 22, 30, 0)},
        {"Fri, 31 Dec 2027 23:30:00 -0130", utc(2028, 1, 1, 1, 0, 0)},
        {"5 Apr 2005 14:30 GMT", utc(2005, 4, 5, 14, 30, 0)},
        {"Tue,5 apr 05 14:30:00 EST", utc(2005, 4, 5, 19, 30, 0)},
        {"Tuesday, 05 April 1999 14:30:00 PDT", utc(1999, 4, 5, 21, 30, 0)},
        {"  Mon, 01 Jan 2024 00:00:00 Z  ", utc(2024, 1, 1, 0, 0, 0)},
        {"01 Jan 2024 10:00:00", utc(2024, 1, 1, 10, 0, 0)},
        {"Mon, 01 Jan 2024 23:59:60 +0000", utc(2024, 1, 1, 23, 59, 59)},
        {"", std::nullopt},
        {"yesterday", std::nullopt},
        {"2024-01-01T10:00:00Z", std::nullopt},
        {"Mon, 31 Feb 2024 10:00:00 +0000", std::nullopt},
        {"Mon, 01 Foo 2024 10:00:00 +0000", std::nullopt},
        {"Mon, 01 Jan 2024 24:00:00 +0000", std::nullopt},
        {"Mon, 01 Jan 2024 10:00:00 +2460", std::nullopt},
        {"Mon, 01 Jan 2024 10:00:00 XYZ", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseFeedDate(c.text), c.moment) << c.text;
}

TEST(TopicDate, EditShowsTheItemsDateOnTheLocalClockOrTheStartTime) {
    const QDateTime start = utc(2026, 3, 14, 9, 26, 53);
    EXPECT_EQ(pickerTimeForEdit("Tue, 05 Apr 2005 14:30:00 -0800", start, 3600),
              utc(2005, 4, 5, 23, 30, 0));
    EXPECT_EQ(pickerTimeForEdit("Tue, 05 Apr 2005 14:30:00 +0200", start, -5 * 3600),
              utc(2005, 4, 5, 7, 30, 0));
    EXPECT_EQ(pickerTimeForEdit("not a date", start, 3600), start);
    EXPECT_EQ(pickerTimeForEdit("", start, 3600), start);
}

TEST(TopicDate, SaveKeepsTheOldDateTextWhileThePickersHoldWhatEditSet) {
    setClocks([] { return utc(2026, 3, 14, 9, 0, 0); }, [] { return utc(2026, 3, 14, 10, 0, 0); });
    const TKeptPubDate kept{"Tue, 5 Apr 2005 14:30 PST", QDate(2005, 4, 5), QTime(23, 30, 0)};
    const struct {
        const char* what;
        std::optional<TKeptPubDate> kept;
        QDate date;
        QTime time;
        QString expected;
    } cases[] = {
        {"untouched", kept, QDate(2005, 4, 5), QTime(23, 30, 0), "Tue, 5 Apr 2005 14:30 PST"},
        {"time moved", kept, QDate(2005, 4, 5), QTime(23, 31, 0),
         "Tue, 05 Apr 2005 23:31:00 +0100"},
        {"date moved", kept, QDate(2005, 4, 6), QTime(23, 30, 0),
         "Wed, 06 Apr 2005 23:30:00 +0100"},
        {"nothing kept", std::nullopt, QDate(2005, 4, 5), QTime(23, 30, 0),
         "Tue, 05 Apr 2005 23:30:00 +0100"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pubDateForSave(c.kept, c.date, c.time), c.expected) << c.what;
    EXPECT_EQ(localClockOffsetSeconds(), 3600);
    setClocks({}, {});
}

} // namespace
