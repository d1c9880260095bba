#include "FeedTemplate.h"

const std::string_view NewFeedTemplate =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
    "<rss version=\"2.0\"> <channel>"
    "<title>Channel Title</title><link>http://</link><description>RSS Feed</description>"
    "<image><title></title><link></link><url></url></image>"
    "<item><title><![CDATA[]]></title><link></link><description></description></item>"
    "</channel></rss>";
