#pragma once
// The check a feed gets before it goes out: what a feed reader would misread
// or a validator reject, each finding with where it is and what to change.
//
// Plain C++ over the document model, no Qt: the window and quillo-xml share
// it. The check only reads the document, and the document must not change
// while it runs. Names are compared exactly, as feed readers do, whatever the
// document's IgnoreCase. Elements of other vocabularies (a prefix such as
// "atom:" or "dc:", or a default namespace other than the feed's own) are
// left alone.
//
// Values a feed leaves blank where the program itself writes blank ones are
// taken as "not set": an image or text input whose parts are all empty, a
// cloud whose attributes are all empty, an item's empty "link", a guid's empty
// "isPermaLink", and an item whose parts are all empty (one warning for the
// item, nothing else).

#include "xml/XmlDom.h"

#include <string>
#include <vector>

enum class FeedSeverity { Error, Warning };

// Where a finding is: the document as a whole (no feed at all, or the "rss"
// element), the channel, or one item.
enum class FeedScope { Document, Channel, Item };

struct FeedFinding {
    FeedSeverity severity = FeedSeverity::Error;
    FeedScope scope = FeedScope::Channel;
    // For an item: its ordinal among all "item" elements of the document in
    // document order (the topic's index, from 0); -1 otherwise.
    long item = -1;
    // For an item: the text directly inside its "title" (or, without one, its
    // first child), as the topic list shows it; else empty.
    std::u16string headline;
    // The element below the scope, its parent first when nested ("image
    // width"); empty when the finding is about the scope itself.
    std::u16string element;
    // The attribute of that element the finding is about, or empty.
    std::u16string attribute;
    // One line in plain words that says what to change.
    std::u16string message;
};

// Every finding, in document order of what they are about; empty for a feed
// without problems.
std::vector<FeedFinding> checkFeed(const TXmlDocument& doc);

// Whether any finding is an error.
bool hasFeedErrors(const std::vector<FeedFinding>& findings);

// One line naming where the finding is: "document", "rss version",
// "channel", "channel image width", "item 3", "item 3 \"Headline\" enclosure
// length". Items count from 1 here; a long headline is shortened.
std::u16string findingPlace(const FeedFinding& finding);

// "error" or "warning".
const char* severityName(FeedSeverity severity);
