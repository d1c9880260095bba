#include "capture/CaptureOutcome.h"

bool captureFailed(const TCaptureResponse& response) {
    return response.Error != 0 || response.StatusCode >= 400;
}

QString captureOutcomeMessage(const QString& address, const TCaptureResponse& response,
                              int storedTopics) {
    if (captureFailed(response)) {
        QString reason =
            response.Error != 0
                ? response.ReasonPhrase
                : QStringLiteral("%1 %2").arg(response.StatusCode).arg(response.ReasonPhrase);
        reason = reason.trimmed();
        // The message ends with one full stop of its own.
        while (reason.endsWith(u'.'))
            reason.chop(1);
        return QStringLiteral("Capture of %1 failed: %2.").arg(address, reason);
    }
    if (storedTopics == 0)
        return QStringLiteral("No headlines were found on %1.").arg(address);
    return {};
}

QString captureProgressText(const QString& address, int stored, int total) {
    return QStringLiteral("Capturing %1: %2 of %3 headlines stored")
        .arg(address)
        .arg(stored)
        .arg(total);
}

bool captureProgressDue(int shownDone, int done, int total, qint64 msSinceShown) {
    if (shownDone < 0 || done >= total || msSinceShown >= captureProgressIntervalMs)
        return true;
    const auto percent = [total](int n) { return static_cast<qint64>(n) * 100 / total; };
    return percent(done) != percent(shownDone);
}
