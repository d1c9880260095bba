#include "capture/KnownLinks.h"

#include "feed/FeedLookups.h"

namespace {

TXmlNodePtr firstChildNamed(const TXmlNodePtr& item, const std::u16string& name) {
    return selectNodesOf(item, name).item(0);
}

QString textNamed(const TXmlNodePtr& item, const std::u16string& name) {
    return QString::fromStdU16String(textOf(firstChildNamed(item, name)));
}

} // namespace

TKnownItems knownItemsByLink(const TXmlDocumentPtr& doc) {
    TKnownItems known;
    const TXmlNodeList items = itemsOf(doc);
    for (long i = 0; i < items.length(); ++i) {
        const TXmlNodePtr item = items.item(i);
        const QString link = textNamed(item, u"link");
        if (link.isEmpty() || known.contains(link))
            continue;
        TKnownItem entry;
        entry.PubDate = textNamed(item, u"pubDate");
        if (const TXmlNodePtr guid = firstChildNamed(item, u"guid")) {
            entry.Guid = QString::fromStdU16String(textOf(guid));
            entry.GuidPermaLink = QString::fromStdU16String(attributeOf(guid, u"isPermaLink"));
        }
        known.insert(link, entry);
    }
    return known;
}
