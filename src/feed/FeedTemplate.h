#pragma once
// The document a new feed starts from, loaded with loadFromMemory: the
// declaration, the channel with title, link, description and an empty image,
// and one blank item (whitespace and the empty CDATA section make no nodes).
// A header alone, so the XML engine's tests can use it without the feed library.

#include <string_view>

inline constexpr std::string_view NewFeedTemplate =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
    "<rss version=\"2.0\"> <channel>"
    "<title>Channel Title</title><link>http://</link><description>RSS Feed</description>"
    "<image><title></title><link></link><url></url></image>"
    "<item><title><![CDATA[]]></title><link></link><description></description></item>"
    "</channel></rss>";
