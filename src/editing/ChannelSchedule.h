#pragma once
// The channel's schedule and the logo's size written back into the feed
// document: the two dates, the time to live, the logo's width and height and
// the skip lists. Unlike the text fields every exit writes, and the targets of
// the time to live, the logo size and the skip lists are the first elements
// of that name anywhere in the document.
//
// Every write throws std::runtime_error when it needs the channel and the
// document has none.

#include "xml/XmlDom.h"

#include <QString>
#include <QStringList>

// The largest logo the feed may announce.
inline constexpr int maxLogoWidth = 144;
inline constexpr int maxLogoHeight = 400;

// "pubDate" or "lastBuildDate" of the channel holding text.
void writeChannelDate(const TXmlDocumentPtr& doc, const std::u16string& name, const QString& text);

// "ttl" holding the value; 0 removes it. False when there was nothing to
// change (0 and no "ttl"): the caller then writes nothing.
bool writeTimeToLive(const TXmlDocumentPtr& doc, int value);

// "width" (held within 0 and maxLogoWidth) or "height" (within 0 and
// maxLogoHeight); 0 removes it, a new one is appended to the logo element
// (made when missing). False when there was nothing to change.
bool writeLogoSize(const TXmlDocumentPtr& doc, const std::u16string& name, int value);

// listName ("skipHours", "skipDays") with one entryName child ("hour", "day")
// per checked entry, in the order given; written also when none is checked.
void writeSkipList(const TXmlDocumentPtr& doc, const std::u16string& listName,
                   const std::u16string& entryName, const QStringList& checked);
