#pragma once
// Every message text and dialog text of the publisher, once. The message that
// asks for missing FTP details is composed by ftpDetailsMessage
// (publish/PublishTarget.h).

#include <QString>

namespace PublishMessages {

inline QString missingFileName() {
    return QStringLiteral("Please enter a file name in the \"Name of RSS File\" field.");
}
inline QString missingLocalDirectory() {
    return QStringLiteral("Please select a Local Directory.");
}
inline QString published() {
    return QStringLiteral("Your Feed has been published.");
}
// Two blanks after the first full stop.
inline QString unableToPublish() {
    return QStringLiteral("Unable to publish Feed.  Check FTP settings.");
}

// Publish was refused because the feed check found errors (the findings
// themselves are listed or logged by the check).
inline QString checkRefused() {
    return QStringLiteral("The feed check found errors: the feed was not published.");
}

// The folder dialog of the local directory.
inline QString selectLocalTitle() {
    return QStringLiteral("Select directory to save file to.");
}
inline QString selectLocalStatus() {
    return QStringLiteral("Once directory is selected, click OK.");
}

// The prompt that adds an FTP location.
inline QString addLocationCaption() {
    return QStringLiteral("FTP Location");
}
inline QString addLocationQuestion() {
    return QStringLiteral("Enter name of FTP server and upload directory.");
}
inline QString addLocationExample() {
    return QStringLiteral("ftp.example.com/upload directory");
}

// The question about an SFTP server whose host key is not in known_hosts.
inline QString trustServerTitle() {
    return QStringLiteral("Quillo");
}
inline QString trustServer(const QString& server, const QString& keyType,
                           const QString& fingerprint) {
    return QStringLiteral("The host key of %1 is not known.\n%2 key fingerprint: %3\n"
                          "Trust this server?")
        .arg(server, keyType, fingerprint);
}

} // namespace PublishMessages
