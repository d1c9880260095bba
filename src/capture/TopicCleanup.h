#pragma once
// The bulk clean-ups of the topic list, as document operations. None leaves
// the feed without an item: clearing leaves one blank item, blanking the last
// item keeps it, and removing items with an empty headline spares the last
// remaining one. Items are removed from whatever element holds them.
//
// Writing the file, reading it back and rebuilding the tree are the caller's.
// A feed without items and without a channel has nowhere to put the blank
// item: that throws std::runtime_error and changes nothing.

#include "xml/XmlDom.h"

// A detached "item" of doc with empty "title", "link", "description",
// "author", an "enclosure" whose "length", "type" and "url" are empty, and an
// empty "pubDate", in this order.
TXmlElementPtr makeBlankItem(const TXmlDocumentPtr& doc);

// Leaves one blank item, in the place of the document's last item. Every
// other item is removed. A feed without items gets the blank item as the
// channel's last child.
void clearTopicList(const TXmlDocumentPtr& doc);

// Puts a blank item in place of item (the document's last item when null).
// A feed without items gets the blank item as the channel's last child.
void blankItem(const TXmlDocumentPtr& doc, const TXmlNodePtr& item = nullptr);

// Removes, in document order, every item whose headline (the text of its
// first child) is empty, as long as another item remains; the number of
// items removed.
long removeBlankHeadlines(const TXmlDocumentPtr& doc);
