#include "feed/FeedLookups.h"

#include <limits>

namespace {

// The document's getElementsByTagName(name).item(0), without collecting the
// rest: the walk covers the top-level nodes from the first element on, each
// with its descendants in document order, and stops at the first match.
TXmlNodePtr firstElementNamed(const TXmlDocumentPtr& doc, const std::u16string& name) {
    if (!doc)
        return nullptr;
    TXmlNodePtr top = doc->firstChild();
    while (top && top->nodeType() != ELEMENT_NODE)
        top = top->nextSibling();
    for (; top; top = top->nextSibling()) {
        TXmlNodePtr n = top;
        for (;;) {
            if (n->nodeType() == ELEMENT_NODE && n->nodeName() == name)
                return n;
            if (TXmlNodePtr child = n->firstChild()) {
                n = std::move(child);
                continue;
            }
            while (n != top && !n->nextSibling())
                n = n->parentNode();
            if (n == top)
                break;
            n = n->nextSibling();
        }
    }
    return nullptr;
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

TXmlNodePtr channelOf(const TXmlDocumentPtr& doc) {
    return firstElementNamed(doc, u"channel");
}

TXmlNodeList itemsOf(const TXmlDocumentPtr& doc) {
    return doc ? doc->getElementsByTagName(u"item") : TXmlNodeList();
}

std::u16string channelDisplayName(const TXmlDocumentPtr& doc) {
    return textOf(firstChildOf(channelOf(doc)));
}

std::u16string headlineOf(const TXmlNodePtr& item) {
    return textOf(firstChildOf(item));
}

std::u16string synopsisOf(const TXmlNodePtr& item) {
    return textOf(childAt(item, 2));
}

TXmlNodePtr channelField(const TXmlNodePtr& channel, const std::u16string& name) {
    return selectNodesOf(channel, name).item(0);
}

TXmlNodePtr firstImageOf(const TXmlDocumentPtr& doc) {
    // Most feeds have no logo: the engine's own walk finds that out quicker.
    return doc ? doc->getElementsByTagName(u"image").item(0) : nullptr;
}

int decimalOrZero(const std::u16string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    bool negative = false;
    if (begin < end && (text[begin] == u'-' || text[begin] == u'+')) {
        negative = text[begin] == u'-';
        ++begin;
    }
    if (begin == end)
        return 0;
    long long value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const char16_t c = text[i];
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c - u'0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return 0;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return 0;
    return static_cast<int>(value);
}

TChannelInsertionPoint channelInsertionPoint(const TXmlDocumentPtr& doc) {
    if (const TXmlNodePtr firstItem = firstElementNamed(doc, u"item"))
        return {parentOf(firstItem), firstItem};
    return {channelOf(doc), nullptr};
}
