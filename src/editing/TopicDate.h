#pragma once
// The publication date of a topic: reading an item's "pubDate" back into the
// editor's pickers, and deciding what Save writes. An edit that leaves the
// pickers as Edit set them keeps the item's date text as it was, so fixing a
// typo does not move a story to the top of every reader.

#include <QDateTime>
#include <QString>

#include <optional>

// The moment a feed date text names, as UTC, or nothing when the text is no
// date. Read leniently in the RFC 822 way: an optional day name and comma, a
// one- or two-digit day, an English month name, a two- or four-digit year, the
// time with or without seconds, and a zone as +hhmm/-hhmm, "GMT", "UT", "UTC",
// "Z" or a North American zone name; a missing zone reads as UTC.
std::optional<QDateTime> parseFeedDate(const QString& text);

// The local date and time Edit puts into the pickers: the item's date moved
// to the local clock (localOffsetSeconds east of UTC) when it reads as a feed
// date, otherwise startTime.
QDateTime pickerTimeForEdit(const QString& pubDate, const QDateTime& startTime,
                            int localOffsetSeconds);

// What an edit remembers of the date it loaded: the old text and the picker
// values Edit set from it.
struct TKeptPubDate {
    QString text;
    QDate date;
    QTime time;
};

// The "pubDate" text Save writes: kept->text when the pickers still hold what
// Edit set, otherwise the feed date text of the pickers.
QString pubDateForSave(const std::optional<TKeptPubDate>& kept, QDate pickedDate, QTime pickedTime);

// The offset of the local clock from the UTC clock at this moment, in whole
// minutes (as seconds): the zone the program writes its dates in.
int localClockOffsetSeconds();
