#include "capture/TopicCleanup.h"

#include "capture/CleanupMessages.h"
#include "feed/FeedLookups.h"

#include <stdexcept>

namespace {

void appendToChannel(const TXmlDocumentPtr& doc, const TXmlElementPtr& item) {
    const TXmlNodePtr channel = channelOf(doc);
    if (!channel)
        throw std::runtime_error(CleanupMessages::noChannelForBlankItem());
    channel->appendChild(item);
}

bool inDocument(const TXmlNode* node, const TXmlDocument* doc) {
    for (; node; node = node->parentNode().get())
        if (node == doc)
            return true;
    return false;
}

// The items that go with an item when it is removed: those nested inside it.
long nestedItemCount(const TXmlNode* item) {
    long count = 0;
    const TXmlNode* n = item->firstChild().get();
    while (n) {
        if (n->nodeType() == ELEMENT_NODE && n->nodeName() == u"item")
            ++count;
        if (n->firstChild().get()) {
            n = n->firstChild().get();
            continue;
        }
        while (n != item && !n->nextSibling().get())
            n = n->parentNode().get();
        n = n == item ? nullptr : n->nextSibling().get();
    }
    return count;
}

} // namespace

TXmlElementPtr makeBlankItem(const TXmlDocumentPtr& doc) {
    TXmlElementPtr item = doc->createElement(u"item");
    for (const char16_t* name : {u"title", u"link", u"description", u"author"})
        doc->appendElement(item, name);
    TXmlElementPtr enclosure = doc->appendElement(item, u"enclosure");
    for (const char16_t* name : {u"length", u"type", u"url"})
        enclosure->setAttribute(name, std::u16string());
    doc->appendElement(item, u"pubDate");
    return item;
}

void clearTopicList(const TXmlDocumentPtr& doc) {
    const TXmlNodeList items = itemsOf(doc);
    const long count = items.length();
    if (count == 0) {
        appendToChannel(doc, makeBlankItem(doc));
        return;
    }
    const TXmlNodePtr last = items.item(count - 1);
    last->parentNode()->replaceChild(makeBlankItem(doc), last);
    for (long i = 0; i + 1 < count; ++i) {
        const TXmlNodePtr& item = items.nodes()[i];
        if (const TXmlNodePtr parent = item->parentNode())
            parent->removeChild(item);
    }
    // The last item may have stood inside one of the others and gone with it.
    if (itemsOf(doc).length() == 0)
        appendToChannel(doc, makeBlankItem(doc));
}

void blankItem(const TXmlDocumentPtr& doc, const TXmlNodePtr& item) {
    TXmlNodePtr target = item;
    if (!target) {
        const TXmlNodeList items = itemsOf(doc);
        target = items.item(items.length() - 1);
    }
    if (!target) {
        appendToChannel(doc, makeBlankItem(doc));
        return;
    }
    target->parentNode()->replaceChild(makeBlankItem(doc), target);
}

long removeBlankHeadlines(const TXmlDocumentPtr& doc) {
    const TXmlNodeList items = itemsOf(doc);
    // Counted down as items go rather than counted afresh for every item,
    // which would walk the whole document once per item.
    long remaining = items.length();
    long removed = 0;
    for (const TXmlNodePtr& item : items.nodes()) {
        if (!inDocument(item.get(), doc.get()))
            continue; // gone with an item that held it
        if (!headlineOf(item).empty())
            continue;
        const long going = 1 + nestedItemCount(item.get());
        if (remaining - going < 1)
            continue;
        item->parentNode()->removeChild(item);
        remaining -= going;
        removed += going;
    }
    return removed;
}
