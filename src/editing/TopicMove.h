#pragma once
// Reordering the feed's items. Works on the document alone: the caller writes
// the backup before and rebuilds the view after. Positions count the channel's
// own "item" children, the ones the headline tree shows under its root.

#include "xml/XmlDom.h"

#include <QString>

namespace TopicMessages {
inline QString cannotDragIntoItself() {
    return QStringLiteral("You cannot drag a Topic into itself.");
}
} // namespace TopicMessages

// True when the document's first channel has item number source and item
// number before, so that moveTopic will change it.
bool canMoveTopic(const TXmlDocumentPtr& doc, long source, long before);

// Puts a deep copy of item number source in front of item number before and
// removes the original: the item keeps every child and attribute. Moving an
// item in front of itself or of its next sibling leaves the order as it was.
// Returns false, and leaves the document untouched, when canMoveTopic is false.
bool moveTopic(const TXmlDocumentPtr& doc, long source, long before);
