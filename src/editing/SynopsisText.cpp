#include "editing/SynopsisText.h"

namespace {

const QString threeSpaces = QStringLiteral("   ");

} // namespace

QString searchAndReplace(const QString& text, const QString& find, const QString& replace) {
    if (find.isEmpty())
        return text;
    QString result = text;
    const bool rescan = !replace.contains(find);
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = result.indexOf(find, from);
        if (at < 0)
            return result;
        result.replace(at, find.size(), replace);
        // Nothing before the replaced occurrence matched, so a new match can
        // only begin where it straddles the inserted text.
        from = rescan ? qMax<qsizetype>(0, at - find.size() + 1) : at + replace.size();
    }
}

QString editableSynopsis(const QString& stored) {
    return searchAndReplace(stored, threeSpaces, QStringLiteral("\n"));
}

QString withoutThreeSpaceRuns(const QString& memoText) {
    return searchAndReplace(memoText, threeSpaces, QString());
}

QString storedSynopsis(const QString& memoText) {
    QString text = withoutThreeSpaceRuns(memoText);
    text.replace(QStringLiteral("\r\n"), threeSpaces);
    text.replace(u'\n', threeSpaces);
    text.replace(u'\r', threeSpaces);
    return text;
}
