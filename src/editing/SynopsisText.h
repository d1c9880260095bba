#pragma once
// The synopsis in its two forms. In the feed document and the synopsis list a
// line break is written as three spaces; while a topic is edited the memo
// shows real line breaks. A run of three typed spaces therefore cannot be
// stored: saving removes such runs first.

#include <QString>

// Replaces the leftmost occurrence of find and searches again from the start,
// so occurrences formed by what surrounded a replaced one are replaced too
// ("   " removed from seven spaces leaves one). An empty find changes nothing;
// a replace that contains find is applied in one pass, so nothing can loop.
QString searchAndReplace(const QString& text, const QString& find, const QString& replace);

// The stored form as the memo shows it for editing: every three-space run
// becomes a line break ("\n", the memo's own).
QString editableSynopsis(const QString& stored);
// The memo text with every three-space run removed.
QString withoutThreeSpaceRuns(const QString& memoText);
// The memo text as it is stored: three-space runs removed, then each line
// break ("\r\n", "\n" or "\r") written as three spaces.
QString storedSynopsis(const QString& memoText);
