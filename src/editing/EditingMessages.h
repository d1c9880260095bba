#pragma once
// Every message text and prompt of channel and topic editing, once.

#include <QString>

namespace EditingMessages {

inline QString domainPathCaption() {
    return QStringLiteral("Domain Path");
}
inline QString domainPathQuestion() {
    return QStringLiteral("Please Enter Domain Path for Category.");
}
inline QString permanentLinkCaption() {
    return QStringLiteral("Permanent Link");
}
inline QString permanentLinkQuestion() {
    return QStringLiteral("Enter True is GUID is a reference URL, otherwise enter False.");
}
inline QString channelNodeNotRemovable() {
    return QStringLiteral("This object cannot be removed. Click on the Publication menu to "
                          "create a new Publication.");
}
// A document without a channel has nowhere to hold a field or a topic.
inline const char* noChannelForField() {
    return "The feed has no channel to hold this field.";
}
inline const char* noChannelForTopic() {
    return "The feed has no channel to hold the topic.";
}

} // namespace EditingMessages
