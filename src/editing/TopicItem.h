#pragma once
// The topic editor's model: the "item" element built from the topic fields,
// what Edit reads back from an item, what an edit keeps of the item it
// replaces, and where a saved topic goes in the feed document.
//
// Items are addressed by their ordinal among all "item" elements of the
// document (the tree's data value), so the element that is saved over, or
// removed, is always the one the tree showed.

#include "xml/XmlDom.h"

#include <QString>

#include <optional>

// The topic editor's controls, as Save reads them.
struct TTopicFields {
    QString headline; // written as a CDATA section
    QString link;     // always written, also when empty
    QString synopsis; // the memo's text with real line breaks
    QString author;
    QString comments;
    QString source;
    QString category;
    QString categoryDomain; // written, possibly empty, with the category
    QString guid;
    QString guidPermaLink; // written, possibly empty, with the guid
    QString enclosureUrl;
    QString enclosureLength;
    QString enclosureType;
    QString pubDate; // the date text, already decided (see TopicDate.h)
};

// A new, detached "item" of doc with, in this order: "title" (CDATA), "link",
// "description" (CDATA, stored synopsis form; only with a synopsis), then
// "author", "comments", "source", "category" (with "domain"), "guid" (with
// "isPermaLink") and "enclosure" ("length", "type", "url") where their field
// is not empty, and "pubDate".
TXmlElementPtr buildTopicItem(const TXmlDocumentPtr& doc, const TTopicFields& fields);

// Gives newItem, after what it already holds and in their old order, deep
// copies of what the editor does not show of oldItem: child elements whose
// names the item writer never writes, the second and later "category" and
// "enclosure", comments and processing instructions; and oldItem's own
// attributes. Names are matched as the document's lookups match them.
void keepUnshownParts(const TXmlNodePtr& oldItem, const TXmlElementPtr& newItem);

// What Edit loads from an item. The optional parts are missing when the item
// lacks the element; the editor then keeps its previous attribute values.
struct TTopicOnEdit {
    QString link;
    QString author;
    QString comments;
    QString source;
    std::optional<QString> category;
    QString categoryDomain;
    std::optional<QString> guid;
    QString guidPermaLink;
    QString enclosureUrl; // empty without an enclosure
    QString enclosureLength;
    QString enclosureType;
    bool hasEnclosure = false;
    QString pubDate; // the item's "pubDate" text, empty when it has none
};
TTopicOnEdit readTopic(const TXmlNodePtr& item);

// Inserts a new topic. With afterOrdinal naming an item of the document, the
// new item goes right after that item's element; otherwise, or when the
// channel holds fewer than two nodes, it is appended to the channel. Throws
// std::runtime_error when the document has no channel.
void insertTopic(const TXmlDocumentPtr& doc, const TXmlElementPtr& newItem,
                 std::optional<long> afterOrdinal);

// Puts newItem in place of item ordinal; false when there is no such item.
bool replaceTopic(const TXmlDocumentPtr& doc, long ordinal, const TXmlElementPtr& newItem);
