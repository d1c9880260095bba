#include "editing/TopicItem.h"

#include "editing/EditingMessages.h"
#include "editing/SynopsisText.h"
#include "feed/FeedLookups.h"

#include <array>
#include <stdexcept>

namespace {

std::u16string u16(const QString& text) {
    return text.toStdU16String();
}

QString qText(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

void appendTextElement(const TXmlDocumentPtr& doc, const TXmlElementPtr& item,
                       const std::u16string& name, const QString& text) {
    doc->appendText(doc->appendElement(item, name), u16(text));
}

void appendOptional(const TXmlDocumentPtr& doc, const TXmlElementPtr& item,
                    const std::u16string& name, const QString& text) {
    if (!text.isEmpty())
        appendTextElement(doc, item, name, text);
}

// The names the item writer writes; everything else in an edited item is kept.
constexpr std::array<std::u16string_view, 10> writtenNames = {
    u"title",  u"link",     u"description", u"author",    u"comments",
    u"source", u"category", u"guid",        u"enclosure", u"pubDate",
};

char16_t foldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool sameName(std::u16string_view a, std::u16string_view b, bool fold) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && (!fold || foldAscii(a[i]) != foldAscii(b[i])))
            return false;
    return true;
}

bool ignoresCase(const TXmlNodePtr& node) {
    const TXmlDocumentPtr doc = node->ownerDocument();
    return doc && doc->settings().IgnoreCase;
}

} // namespace

TXmlElementPtr buildTopicItem(const TXmlDocumentPtr& doc, const TTopicFields& fields) {
    TXmlElementPtr item = doc->createElement(u"item");
    doc->appendCDATASection(doc->appendElement(item, u"title"), u16(fields.headline));
    appendTextElement(doc, item, u"link", fields.link);
    const QString synopsis = storedSynopsis(fields.synopsis);
    if (!synopsis.isEmpty())
        doc->appendCDATASection(doc->appendElement(item, u"description"), u16(synopsis));
    appendOptional(doc, item, u"author", fields.author);
    appendOptional(doc, item, u"comments", fields.comments);
    appendOptional(doc, item, u"source", fields.source);
    if (!fields.category.isEmpty()) {
        TXmlElementPtr category = doc->appendElement(item, u"category");
        doc->appendText(category, u16(fields.category));
        category->setAttribute(u"domain", u16(fields.categoryDomain));
    }
    if (!fields.guid.isEmpty()) {
        TXmlElementPtr guid = doc->appendElement(item, u"guid");
        doc->appendText(guid, u16(fields.guid));
        guid->setAttribute(u"isPermaLink", u16(fields.guidPermaLink));
    }
    if (!fields.enclosureUrl.isEmpty()) {
        TXmlElementPtr enclosure = doc->appendElement(item, u"enclosure");
        enclosure->setAttribute(u"length", u16(fields.enclosureLength));
        enclosure->setAttribute(u"type", u16(fields.enclosureType));
        enclosure->setAttribute(u"url", u16(fields.enclosureUrl));
    }
    appendTextElement(doc, item, u"pubDate", fields.pubDate);
    return item;
}

void keepUnshownParts(const TXmlNodePtr& oldItem, const TXmlElementPtr& newItem) {
    if (!oldItem || !newItem)
        return;
    const bool fold = ignoresCase(oldItem);
    bool seenCategory = false;
    bool seenEnclosure = false;
    for (const TXmlNodePtr& child : oldItem->childNodes().nodes()) {
        bool keep = false;
        switch (child->nodeType()) {
        case ELEMENT_NODE: {
            const std::u16string& name = child->nodeName();
            if (sameName(name, u"category", fold)) {
                keep = seenCategory;
                seenCategory = true;
            } else if (sameName(name, u"enclosure", fold)) {
                keep = seenEnclosure;
                seenEnclosure = true;
            } else {
                keep = true;
                for (std::u16string_view written : writtenNames)
                    keep = keep && !sameName(name, written, fold);
            }
            break;
        }
        case COMMENT_NODE:
        case PROCESSING_INSTRUCTION_NODE:
            keep = true;
            break;
        default:
            break;
        }
        if (keep)
            newItem->appendChild(child->cloneNode(true));
    }
    if (const TXmlNamedNodeMap* attributes = oldItem->attributes()) {
        for (const TXmlAttributePtr& attribute : attributes->items())
            newItem->setAttribute(attribute->nodeName(), attribute->nodeValue());
    }
}

TTopicOnEdit readTopic(const TXmlNodePtr& item) {
    TTopicOnEdit topic;
    const auto first = [&item](const std::u16string& name) {
        return selectNodesOf(item, name).item(0);
    };
    topic.link = qText(textOf(first(u"link")));
    topic.author = qText(textOf(first(u"author")));
    topic.comments = qText(textOf(first(u"comments")));
    topic.source = qText(textOf(first(u"source")));
    if (const TXmlNodePtr category = first(u"category")) {
        topic.category = qText(textOf(category));
        topic.categoryDomain = qText(attributeOf(category, u"domain"));
    }
    if (const TXmlNodePtr guid = first(u"guid")) {
        topic.guid = qText(textOf(guid));
        topic.guidPermaLink = qText(attributeOf(guid, u"isPermaLink"));
    }
    if (const TXmlNodePtr enclosure = first(u"enclosure")) {
        topic.hasEnclosure = true;
        topic.enclosureUrl = qText(attributeOf(enclosure, u"url"));
        topic.enclosureLength = qText(attributeOf(enclosure, u"length"));
        topic.enclosureType = qText(attributeOf(enclosure, u"type"));
    }
    topic.pubDate = qText(textOf(first(u"pubDate")));
    return topic;
}

void insertTopic(const TXmlDocumentPtr& doc, const TXmlElementPtr& newItem,
                 std::optional<long> afterOrdinal) {
    const TXmlNodePtr channel = channelOf(doc);
    if (!channel)
        throw std::runtime_error(EditingMessages::noChannelForTopic());
    const TXmlNodePtr after = afterOrdinal ? itemsOf(doc).item(*afterOrdinal) : nullptr;
    const bool fewerThanTwoNodes = !channel->firstChild() || !channel->firstChild()->nextSibling();
    if (!after || fewerThanTwoNodes) {
        channel->appendChild(newItem);
        return;
    }
    after->parentNode()->insertBefore(newItem, after->nextSibling());
}

bool replaceTopic(const TXmlDocumentPtr& doc, long ordinal, const TXmlElementPtr& newItem) {
    const TXmlNodePtr old = itemsOf(doc).item(ordinal);
    if (!old)
        return false;
    old->parentNode()->replaceChild(newItem, old);
    return true;
}
