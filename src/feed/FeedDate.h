#pragma once
// The date text written into a feed's "pubDate" and "lastBuildDate": RFC 822
// form with English names, e.g. "Tue, 05 Apr 2005 14:30:00 -0800".

#include <QDate>
#include <QString>
#include <QTime>

// "ddd, dd mmm yyyy hh:nn:ss" followed by a blank and zoneSuffix(). The date
// and time are written as given, without any zone conversion.
QString feedDateText(QDate date, QTime time);

// The offset between the local and the UTC clock at this moment as a sign,
// two-digit whole hours and "00" ("+0100", "-0800"). An offset that is not a
// whole number of hours is rounded, an exact half to the even hour.
QString zoneSuffix();
