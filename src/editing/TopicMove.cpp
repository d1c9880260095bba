#include "editing/TopicMove.h"

#include "feed/FeedLookups.h"

namespace {

struct Move {
    TXmlNodePtr channel;
    TXmlNodePtr source;
    TXmlNodePtr reference;
};

Move planOf(const TXmlDocumentPtr& doc, long source, long before) {
    const TXmlNodePtr channel = channelOf(doc);
    const TXmlNodeList items = selectNodesOf(channel, u"item");
    return {channel, items.item(source), items.item(before)};
}

} // namespace

bool canMoveTopic(const TXmlDocumentPtr& doc, long source, long before) {
    const Move move = planOf(doc, source, before);
    return move.source && move.reference;
}

bool moveTopic(const TXmlDocumentPtr& doc, long source, long before) {
    const Move move = planOf(doc, source, before);
    if (!move.source || !move.reference)
        return false;
    // Copy first, then remove: the copy lands where the reference is even when
    // the reference is the source itself.
    move.channel->insertBefore(move.source->cloneNode(true), move.reference);
    move.channel->removeChild(move.source);
    return true;
}
