#pragma once
// How the last Publish ended, kept by the window for whoever started it (the
// unattended run reports it and turns it into the program's exit status).

#include <QString>
#include <QStringList>

enum class TPublishResult {
    Published,  // the feed is where the target says
    Incomplete, // stopped before publishing: a file name, directory or FTP detail is missing
    // A step failed: the feed file, the settings, the local write or the
    // upload. A published copy is left as it was.
    Failed,
};

struct TPublishOutcome {
    TPublishResult Result = TPublishResult::Incomplete;
    // The local file or the FTP location and name ("server/dir/news.xml");
    // empty when Publish stopped before it knew one.
    QString Destination;
    // What the user is told (or, in an unattended run, would have been told),
    // one line each, followed by the FTP client's own messages.
    QStringList Lines;

    bool published() const { return Result == TPublishResult::Published; }
};
