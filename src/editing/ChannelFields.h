#pragma once
// The channel's text fields written back into the feed document. A field is
// written when the focus leaves it with a value other than the one it had on
// entry; the write makes the element anew, so nothing of the old one is
// carried over, and replaces the channel's own element of that name or, when
// the channel has none, inserts it before the channel's first item (last in a
// channel without items).
//
// Every write throws std::runtime_error when the document has no channel,
// and leaves the document as it was.

#include "xml/XmlDom.h"

#include <QString>

#include <optional>

// The value taken on entry into a field: "|||" stands for an empty one.
QString valueOnEnter(const QString& value);
// Whether leaving a field writes it. Nothing is written before a field has
// ever been entered (onEnter still empty) or when the value is back to the
// one it had on entry; a field that was empty on entry always writes.
bool leavingFieldWrites(const QString& onEnter, const QString& value);

// The language stored for the language box's text: the code of a text that
// begins with one in brackets ("[fr-FR] French (France)" gives "fr-FR"),
// otherwise the text's first seven characters.
QString languageValue(const QString& boxText);

// Replaces the channel's first child element named like element, or inserts
// element where a new channel element goes.
void putChannelElement(const TXmlDocumentPtr& doc, const TXmlElementPtr& element);
// A channel element holding one text node (possibly empty).
void writeChannelText(const TXmlDocumentPtr& doc, const std::u16string& name, const QString& text);
// The channel's "category" with text, and a "domain" attribute when domain is
// given.
void writeChannelCategory(const TXmlDocumentPtr& doc, const QString& text,
                          const std::optional<QString>& domain);
// Whether the channel's "category" carries a "domain" attribute, which a
// change of the category's text keeps.
bool channelCategoryHasDomain(const TXmlDocumentPtr& doc);

// The logo element (the document's first "image"). A document without one
// gets one with empty "title", "link" and "url", where a new channel element
// goes.
TXmlNodePtr logoElement(const TXmlDocumentPtr& doc);
// "title", "link" or "url" of the logo element, holding text; a logo element
// without that child gets it as its last child.
void writeLogoField(const TXmlDocumentPtr& doc, const std::u16string& name, const QString& text);

struct TCloudFields {
    QString domain;
    QString port;
    QString path;
    QString registerProcedure;
    QString protocol;
};
// "cloud" without content, its five attributes always written in this order.
void writeCloud(const TXmlDocumentPtr& doc, const TCloudFields& fields);

struct TTextInputFields {
    QString title;
    QString description;
    QString name;
    QString link;
};
// "textInput" with exactly the children title, description, name, link.
void writeTextInput(const TXmlDocumentPtr& doc, const TTextInputFields& fields);

// Where a new channel element goes: before the channel's first item, in that
// item's parent, or last in the channel when it holds no item.
void insertChannelElement(const TXmlDocumentPtr& doc, const TXmlNodePtr& element);
