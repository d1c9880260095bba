#pragma once
// The headlines of a captured page: plain functions from the decoded page
// text (and, in basic mode, the links the HTML page parser found in it) to
// the topics the capture stores, in page order.
//
// Positions and lengths count characters: a surrogate pair is one character,
// so a cut never splits one. Nothing here keeps state or touches widgets.

#include "capture/HtmlParser.h"

#include <QList>
#include <QString>

struct TCapturedTopic {
    QString Headline;
    QString Link;
    QString Synopsis;

    bool operator==(const TCapturedTopic&) const = default;
};
using TCapturedTopics = QList<TCapturedTopic>;

// Drops control characters (below U+0020, and U+007F to U+009F) and every
// second space of a run of spaces: two spaces become one, three two, four
// two. Every other character stays; nothing is trimmed at the ends.
QString TrimDoubleSpace(const QString& text);

// The address up to, not including, its last "/" at the tenth character or
// later; the address itself when it has none there. So a page's directory,
// and a bare site address without its final "/".
QString GetBaseURL(const QString& address);

// Basic mode: one topic for every link of `webLinks` (the parser's WebLinks
// of this page) whose first occurrence in the page is followed, within 500
// characters, by a ">" and then a text of at least two characters before the
// next "<". A link without a lower-case "http" is put after the base of
// `address`. Topics carry no synopsis.
TCapturedTopics basicHeadlines(const QString& page, const THtmlLines& webLinks,
                               const QString& address);

// Advanced mode: one entry for every anchor whose class attribute starts with
// `headlineClass`, with the anchor's text as headline, its href as link
// (relative ones put after the base of `address`; none at all gives `address`
// itself) and, as synopsis, the inner text of the next div or span whose
// class is `synopsisClass`. An anchor without text yields an entry with an
// empty headline, which the topic editor refuses to store. An empty headline
// class finds nothing.
TCapturedTopics advancedHeadlines(const QString& page, const QString& address,
                                  const QString& headlineClass, const QString& synopsisClass);
