#pragma once
// The feed file on disk: its companion paths, whole-file writes that never
// leave a half-written file behind, byte copies and the quick feed check.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

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

// What tells one state of a file on disk from another: a file replaced by a
// rename is another inode, one written in place has another size or time.
struct TFileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool operator==(const TFileStamp&) const = default;
};
// The stamp of the file the path names (links followed); none when it cannot
// be read.
std::optional<TFileStamp> fileStampOf(const QString& path);

// Makes backupPath hold what feedPath holds by a hard link to the feed file,
// where that gives the same file as writing its bytes anew would: the feed
// file is a plain file (no link to follow) and the backup is missing (and
// would get the feed file's permissions) or a plain writable file with the
// same permissions and owner. The feed file is only ever replaced by a rename,
// so the backup keeps these bytes when it is saved again. False, with nothing
// changed, when the link is not equivalent or cannot be made: the caller
// writes the backup then.
bool linkAsBackup(const QString& feedPath, const QString& backupPath);
