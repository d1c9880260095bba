#pragma once
// What a refresh keeps of the items it replaces. Before an unattended run
// empties the feed's topics, every link's date and identity are remembered,
// so that a story captured again keeps them and no reader takes it for news.
// Plain functions over the feed document.

#include "xml/XmlDom.h"

#include <QHash>
#include <QString>

#include <optional>

struct TKnownItem {
    QString PubDate;             // the item's "pubDate" text; empty when it had none
    std::optional<QString> Guid; // the item's "guid", when it had one
    QString GuidPermaLink;       // that guid's "isPermaLink" attribute
};

// By the text of their "link".
using TKnownItems = QHash<QString, TKnownItem>;

// The feed's items by link: the first item that holds a link counts (a feed
// lists its newest first), and items with an empty link are left out.
TKnownItems knownItemsByLink(const TXmlDocumentPtr& doc);
