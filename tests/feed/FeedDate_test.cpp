#include "feed/Clock.h"
#include "feed/FeedDate.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <ostream>

namespace {

// Sets the local clock `offsetSeconds` ahead of a fixed UTC reading.
class FeedDateZone : public ::testing::Test {
protected:
    void TearDown() override { setClocks({}, {}); }

    static void setOffset(qint64 offsetSeconds, QDateTime utc = utcNoon()) {
        setClocks([utc] { return utc; },
                  [utc, offsetSeconds] { return utc.addSecs(offsetSeconds); });
    }
    static QDateTime utcNoon() { return QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC); }
};

struct ZoneCase {
    qint64 offsetMinutes;
    const char* expected;
};

void PrintTo(const ZoneCase& c, std::ostream* os) {
    *os << c.offsetMinutes << " minutes";
}

class ZoneSuffix : public FeedDateZone, public ::testing::WithParamInterface<ZoneCase> {};

TEST_P(ZoneSuffix, RoundsOffsetToWholeHours) {
    setOffset(GetParam().offsetMinutes * 60);
    EXPECT_EQ(zoneSuffix().toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, ZoneSuffix,
    ::testing::Values(ZoneCase{0, "+0000"}, ZoneCase{-8 * 60, "-0800"}, ZoneCase{10 * 60, "+1000"},
                      ZoneCase{60, "+0100"}, ZoneCase{5 * 60 + 30, "+0600"},
                      ZoneCase{4 * 60 + 30, "+0400"}, ZoneCase{-(3 * 60 + 30), "-0400"},
                      ZoneCase{-(4 * 60 + 30), "-0400"}, ZoneCase{5 * 60 + 45, "+0600"},
                      ZoneCase{12 * 60 + 45, "+1300"}, ZoneCase{14 * 60, "+1400"},
                      ZoneCase{-12 * 60, "-1200"}, ZoneCase{20, "+0000"}, ZoneCase{-20, "-0000"}));

TEST_F(FeedDateZone, OffsetAcrossMidnightAndYearEnd) {
    setOffset(-(5 * 3600), QDateTime(QDate(2027, 1, 1), QTime(2, 0), Qt::UTC));
    EXPECT_EQ(zoneSuffix().toStdString(), "-0500");
    setOffset(9 * 3600, QDateTime(QDate(2026, 12, 31), QTime(20, 0), Qt::UTC));
    EXPECT_EQ(zoneSuffix().toStdString(), "+0900");
}

// The two clocks are read one after the other; a second that ticks between
// the readings must not move a half-hour zone to the other hour.
TEST_F(FeedDateZone, ReadingsStraddlingASecondKeepTheZone) {
    setOffset(4 * 3600 + 30 * 60 + 1);
    EXPECT_EQ(zoneSuffix().toStdString(), "+0400");
    setOffset(-(3 * 3600 + 30 * 60) + 1);
    EXPECT_EQ(zoneSuffix().toStdString(), "-0400");
    setOffset(1);
    EXPECT_EQ(zoneSuffix().toStdString(), "+0000");
}

TEST_F(FeedDateZone, MachineClocksGiveAWellFormedSuffix) {
    setClocks({}, {});
    const QString suffix = zoneSuffix();
    ASSERT_EQ(suffix.size(), 5);
    EXPECT_TRUE(suffix[0] == QLatin1Char('+') || suffix[0] == QLatin1Char('-'));
    EXPECT_TRUE(suffix.endsWith(QLatin1String("00")));
}

struct DateCase {
    QDate date;
    QTime time;
    const char* expected;
};

void PrintTo(const DateCase& c, std::ostream* os) {
    *os << c.expected;
}

class FeedDateText : public FeedDateZone, public ::testing::WithParamInterface<DateCase> {};

TEST_P(FeedDateText, EnglishNamesWithZoneSuffix) {
    setOffset(-8 * 3600);
    EXPECT_EQ(feedDateText(GetParam().date, GetParam().time).toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, FeedDateText,
    ::testing::Values(
        DateCase{QDate(2005, 4, 5), QTime(14, 30), "Tue, 05 Apr 2005 14:30:00 -0800"},
        DateCase{QDate(2024, 1, 1), QTime(0, 0), "Mon, 01 Jan 2024 00:00:00 -0800"},
        DateCase{QDate(2024, 2, 29), QTime(23, 59, 59), "Thu, 29 Feb 2024 23:59:59 -0800"},
        DateCase{QDate(2024, 3, 6), QTime(9, 5, 7), "Wed, 06 Mar 2024 09:05:07 -0800"},
        DateCase{QDate(2024, 5, 10), QTime(1, 2, 3), "Fri, 10 May 2024 01:02:03 -0800"},
        DateCase{QDate(2024, 6, 15), QTime(12, 0), "Sat, 15 Jun 2024 12:00:00 -0800"},
        DateCase{QDate(2024, 7, 21), QTime(12, 0), "Sun, 21 Jul 2024 12:00:00 -0800"},
        DateCase{QDate(2024, 8, 1), QTime(12, 0), "Thu, 01 Aug 2024 12:00:00 -0800"},
        DateCase{QDate(2024, 9, 2), QTime(12, 0), "Mon, 02 Sep 2024 12:00:00 -0800"},
        DateCase{QDate(2024, 10, 31), QTime(12, 0), "Thu, 31 Oct 2024 12:00:00 -0800"},
        DateCase{QDate(2024, 11, 5), QTime(12, 0), "Tue, 05 Nov 2024 12:00:00 -0800"},
        DateCase{QDate(2026, 12, 10), QTime(12, 0), "Thu, 10 Dec 2026 12:00:00 -0800"},
        DateCase{QDate(999, 12, 31), QTime(12, 0), "Tue, 31 Dec 0999 12:00:00 -0800"}));

TEST_F(FeedDateZone, NamesStayEnglishWhateverTheLocale) {
    setOffset(3600);
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString text = feedDateText(QDate(2005, 3, 5), QTime(14, 30));
    QLocale::setDefault(previous);
    EXPECT_EQ(text.toStdString(), "Sat, 05 Mar 2005 14:30:00 +0100");
}

TEST_F(FeedDateZone, SummerDateCarriesTheOffsetInForceNow) {
    setOffset(3600, QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC));
    EXPECT_EQ(feedDateText(QDate(2026, 7, 1), QTime(12, 0)).toStdString(),
              "Wed, 01 Jul 2026 12:00:00 +0100");
}

TEST_F(FeedDateZone, InvalidValuesStillGiveAText) {
    setOffset(0);
    EXPECT_EQ(feedDateText(QDate(), QTime()).toStdString(), "Mon, 01 Jan 0001 00:00:00 +0000");
}

} // namespace
