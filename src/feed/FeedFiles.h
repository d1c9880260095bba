#pragma once
// The feed file on disk: its companion paths, whole-file writes that never
// leave a half-written file behind, byte copies and the quick feed check.

#include <QByteArray>
#include <QFile>
#include <QString>

// The feed file path without its last four characters, whatever they are.
QString basePathOf(const QString& feedPath);
// base + ".bak": the one-step backup beside the feed file.
QString backupPathOf(const QString& feedPath);
// base + ".damaged.xml": where a feed file that did not load cleanly is kept.
QString damagedCopyPathOf(const QString& feedPath);
// base + ".xml": the file Undo restores the backup into (the feed file itself
// unless its name ends in something other than ".xml").
QString restoredPathOf(const QString& feedPath);

inline constexpr QFile::Permissions defaultNewFilePermissions =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;

// Whether an existing target keeps its permissions or gets the given ones.
enum class PermissionRule { KeepExisting, Enforce };

// Writes bytes to a temporary file in the target's directory and renames it
// over the target, so the target holds either its old or its new content.
// A symbolic link is followed and the file it names is replaced; a new target
// gets newFilePermissions, an existing one keeps its own unless the rule says
// Enforce (files holding secrets). A target marked read-only is refused.
// Throws std::runtime_error(errorText) on failure.
void writeFileAtomically(const QString& path, const QByteArray& bytes, const QString& errorText,
                         QFile::Permissions newFilePermissions = defaultNewFilePermissions,
                         PermissionRule rule = PermissionRule::KeepExisting);

// Reads the whole file; throws "Cannot open file %s" when it cannot be read.
QByteArray readWholeFile(const QString& path);

// Copies source to destination byte for byte. Throws "Cannot open file %s"
// (source) or "Cannot create file %s" (destination).
void fileCopy(const QString& source, const QString& destination);

// The tags every feed file the program accepts must contain, tested as plain
// case-sensitive substrings (the file is not parsed).
bool hasFeedTags(const QByteArray& text);

// Keeps a copy of a feed file that did not load cleanly before anything can
// overwrite it; returns the path of the copy. Throws like fileCopy.
QString keepDamagedCopy(const QString& feedPath);
