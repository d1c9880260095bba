#pragma once
// What a capture tells the user: the progress line shown while its topics are
// stored, and the message an interactive capture ends with when it stored
// nothing. Plain functions over values.

#include <QString>

// The fields of the capture's HTTP client once its request is over.
struct TCaptureResponse {
    quint16 Error = 0; // the socket error the request ended with, 0 for none
    int StatusCode = 0;
    QString ReasonPhrase;
};

// True when the request failed: a socket error, or a status of 400 or more.
bool captureFailed(const TCaptureResponse& response);

// "Capture of <address> failed: <reason>." for a failed request, the reason
// being the client's reason phrase after a socket error and the status code
// with its reason phrase otherwise; "No headlines were found on <address>."
// when the page gave no topic; empty when topics were stored.
QString captureOutcomeMessage(const QString& address, const TCaptureResponse& response,
                              int storedTopics);

// The progress line: the address being captured and how many of the page's
// headlines are stored so far.
QString captureProgressText(const QString& address, int stored, int total);

// Whether the progress line is painted again once `done` of the page's
// `total` headlines have gone through Save, the line having been painted
// last at `shownDone` (-1: not yet) `msSinceShown` ago: always for the first
// line and the last, and in between whenever the whole percentage done has
// moved or captureProgressIntervalMs have passed. A painting costs about as
// much as storing a topic, so a long capture paints at most about a hundred
// times plus once per interval.
inline constexpr qint64 captureProgressIntervalMs = 100;
bool captureProgressDue(int shownDone, int done, int total, qint64 msSinceShown);
