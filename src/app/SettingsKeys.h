#pragma once
// The sections and keys of the settings file, each named once. The feed
// section is named by the feed file path itself.

#include <QString>

namespace SettingsKeys {

inline const QString PublicationSection = QStringLiteral("Publication");
inline const QString FilePath = QStringLiteral("FilePath");
inline const QString WebPath = QStringLiteral("WebPath");

inline const QString PublishSection = QStringLiteral("Publish");
inline const QString LocalPath = QStringLiteral("LocalPath");
inline const QString FTPPath = QStringLiteral("FTPPath");
inline const QString Location = QStringLiteral("Location");
inline const QString PublishedFileName = QStringLiteral("FileName");
// The values of "Location": the names of the two radio buttons.
inline const QString LocalRadioLocation = QStringLiteral("LocalRadio");
inline const QString FTPRadioLocation = QStringLiteral("FTPRadio");

// Keys of a feed section.
inline const QString UserID = QStringLiteral("UserID");
inline const QString Password = QStringLiteral("Password");
inline const QString FileName = QStringLiteral("FileName");
inline const QString Capture = QStringLiteral("Capture");
inline const QString AdvancedCapture = QStringLiteral("AdvancedCapture");
inline const QString HeadlineTag = QStringLiteral("HeadlineTag");
inline const QString SynopsisTag = QStringLiteral("SynopsisTag");

} // namespace SettingsKeys
