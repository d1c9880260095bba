#pragma once
// The document a new feed starts from, loaded with loadFromMemory: the
// declaration, the channel with title, link, description and an empty image,
// and one blank item (whitespace and the empty CDATA section make no nodes).

#include <string_view>

extern const std::string_view NewFeedTemplate;
