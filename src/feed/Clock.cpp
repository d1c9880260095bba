#include "feed/Clock.h"

#include <utility>

namespace {

ClockSource& utcSource() {
    static ClockSource source;
    return source;
}

ClockSource& localSource() {
    static ClockSource source;
    return source;
}

QDateTime wholeSeconds(QDateTime t) {
    t.setTime(QTime(t.time().hour(), t.time().minute(), t.time().second()));
    return t;
}

} // namespace

QDateTime GetSystemTimeUTC() {
    if (utcSource())
        return utcSource()();
    return wholeSeconds(QDateTime::currentDateTimeUtc());
}

QDateTime GetLocalTimeNUTC() {
    if (localSource())
        return localSource()();
    QDateTime now = QDateTime::currentDateTime();
    // Keep the local reading as a plain wall-clock value so it can be
    // compared with the UTC reading directly.
    return wholeSeconds(QDateTime(now.date(), now.time(), Qt::UTC));
}

void setClocks(ClockSource utc, ClockSource local) {
    utcSource() = std::move(utc);
    localSource() = std::move(local);
}
