#pragma once
// Every message text of the topic list clean-up, once.

#include <QString>

namespace CleanupMessages {

inline QString clearWarningTitle() {
    return QStringLiteral("Warning");
}
inline QString clearWarning() {
    return QStringLiteral(
        "This will clear all Topics from the Topic list, do you want to continue?");
}
// A feed without items and without a channel has nowhere to hold the blank item.
inline const char* noChannelForBlankItem() {
    return "The feed has no channel to hold a topic.";
}

} // namespace CleanupMessages
