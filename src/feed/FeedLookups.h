#pragma once
// Where things are in a feed document. Most are found by position rather than
// by name, and a feed that departs from the usual shape is read by position
// all the same. Every lookup takes missing nodes (a document without channel,
// items with few children) and answers with null, empty text or 0.

#include "xml/XmlDom.h"

#include <string>

// The first "channel" element of the document in document order.
TXmlNodePtr channelOf(const TXmlDocumentPtr& doc);
// Every "item" element of the document in document order, wherever it stands;
// an item's ordinal is its index here.
TXmlNodeList itemsOf(const TXmlDocumentPtr& doc);
// The text of the channel's first child, whatever that child is called.
std::u16string channelDisplayName(const TXmlDocumentPtr& doc);

// The text of the item's first child.
std::u16string headlineOf(const TXmlNodePtr& item);
// The text of the item's third child, whatever it is called: an item saved
// without a description shows what follows its link.
std::u16string synopsisOf(const TXmlNodePtr& item);

// The first direct child of the channel with that name (the document's name
// match), or null.
TXmlNodePtr channelField(const TXmlNodePtr& channel, const std::u16string& name);
// The document's first "image" element, which holds the logo fields.
TXmlNodePtr firstImageOf(const TXmlDocumentPtr& doc);

// The text as a decimal integer (surrounding blanks allowed), or 0 when it is
// none or does not fit an int.
int decimalOrZero(const std::u16string& text);

// Where a channel-level element that does not exist yet goes: into parent,
// before `before` (null: at the end of parent).
struct TChannelInsertionPoint {
    TXmlNodePtr parent;
    TXmlNodePtr before;
};
// Before the first "item" of the document, in that item's parent. A feed
// without items gets the element at the end of its channel; without a channel
// both are null and there is nowhere to put it.
TChannelInsertionPoint channelInsertionPoint(const TXmlDocumentPtr& doc);
