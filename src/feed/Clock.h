#pragma once
// The program's clocks, in one place so that tests can set them.
// Both readings are wall-clock date and time values without a zone attached
// (a QDateTime marked Qt::UTC holding the clock's own reading), to whole seconds.

#include <QDateTime>

#include <functional>

QDateTime GetSystemTimeUTC();
QDateTime GetLocalTimeNUTC();

using ClockSource = std::function<QDateTime()>;

// Replaces the two clocks (tests); empty functions restore the machine's clocks.
void setClocks(ClockSource utc, ClockSource local);
