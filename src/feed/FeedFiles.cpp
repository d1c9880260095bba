#include "feed/FeedFiles.h"

#include "feed/FeedMessages.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Link chains longer than this are loops as far as we are concerned.
constexpr int maxSymlinkDepth = 40;

[[noreturn]] void fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}

QString resolveSymlinks(const QString& path, const QString& errorText) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < maxSymlinkDepth; ++depth) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget();
        if (current.isEmpty())
            fail(errorText);
    }
    fail(errorText);
}

mode_t toMode(QFile::Permissions p) {
    mode_t m = 0;
    if (p & QFile::ReadOwner)
        m |= S_IRUSR;
    if (p & QFile::WriteOwner)
        m |= S_IWUSR;
    if (p & QFile::ExeOwner)
        m |= S_IXUSR;
    if (p & QFile::ReadGroup)
        m |= S_IRGRP;
    if (p & QFile::WriteGroup)
        m |= S_IWGRP;
    if (p & QFile::ExeGroup)
        m |= S_IXGRP;
    if (p & QFile::ReadOther)
        m |= S_IROTH;
    if (p & QFile::WriteOther)
        m |= S_IWOTH;
    if (p & QFile::ExeOther)
        m |= S_IXOTH;
    return m;
}

} // namespace

QString basePathOf(const QString& feedPath) {
    return feedPath.left(qMax(0, feedPath.size() - 4));
}

QString backupPathOf(const QString& feedPath) {
    return basePathOf(feedPath) + ".bak";
}

QString damagedCopyPathOf(const QString& feedPath) {
    return basePathOf(feedPath) + ".damaged.xml";
}

QString restoredPathOf(const QString& feedPath) {
    return basePathOf(feedPath) + ".xml";
}

void writeFileAtomically(const QString& path, const QByteArray& bytes, const QString& errorText,
                         QFile::Permissions newFilePermissions, PermissionRule rule) {
    const QString target = resolveSymlinks(path, errorText);
    const QByteArray nativeTarget = QFile::encodeName(target);

    mode_t mode = toMode(newFilePermissions);
    struct stat existing {};
    if (::stat(nativeTarget.constData(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode))
            fail(errorText);
        // A read-only mark is honoured even for a user (root) whom the kernel
        // would let through, as the rename would otherwise bypass it.
        if (!(existing.st_mode & S_IWUSR) || ::access(nativeTarget.constData(), W_OK) != 0)
            fail(errorText);
        if (rule == PermissionRule::KeepExisting)
            mode = existing.st_mode & 07777;
    } else if (errno != ENOENT) {
        fail(errorText);
    }

    const QFileInfo targetInfo(target);
    QTemporaryFile temp(targetInfo.absolutePath() + "/." + targetInfo.fileName() + ".XXXXXX");
    if (!temp.open())
        fail(errorText);
    if (temp.write(bytes) != bytes.size() || !temp.flush() || ::fchmod(temp.handle(), mode) != 0 ||
        ::fsync(temp.handle()) != 0)
        fail(errorText);
    const QByteArray nativeTemp = QFile::encodeName(temp.fileName());
    temp.close();
    if (::rename(nativeTemp.constData(), nativeTarget.constData()) != 0)
        fail(errorText);
    temp.setAutoRemove(false);
}

QByteArray readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(FeedMessages::cannotOpenFile(path));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(FeedMessages::cannotOpenFile(path));
    return bytes;
}

void fileCopy(const QString& source, const QString& destination) {
    const QByteArray bytes = readWholeFile(source);
    // A new copy is as private as its source, and writable like any file we make.
    writeFileAtomically(destination, bytes, FeedMessages::cannotCreateFile(destination),
                        QFile::permissions(source) | QFile::WriteOwner);
}

bool hasFeedTags(const QByteArray& text) {
    for (const char* tag :
         {"<rss", "</rss>", "<item>", "</item>", "<description>", "</description>"}) {
        if (!text.contains(tag))
            return false;
    }
    return true;
}

QString keepDamagedCopy(const QString& feedPath) {
    const QString copyPath = damagedCopyPathOf(feedPath);
    fileCopy(feedPath, copyPath);
    return copyPath;
}

std::optional<TFileStamp> fileStampOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    const auto ns = [](const timespec& t) {
        return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    return TFileStamp{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino),
                      static_cast<qint64>(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

bool linkAsBackup(const QString& feedPath, const QString& backupPath) {
    const QByteArray feed = QFile::encodeName(feedPath);
    const QByteArray backup = QFile::encodeName(backupPath);
    struct stat feedSt {};
    if (::lstat(feed.constData(), &feedSt) != 0 || !S_ISREG(feedSt.st_mode))
        return false;
    const mode_t feedMode = feedSt.st_mode & 07777;
    struct stat backupSt {};
    if (::lstat(backup.constData(), &backupSt) == 0) {
        if (!S_ISREG(backupSt.st_mode) || !(backupSt.st_mode & S_IWUSR) ||
            ::access(backup.constData(), W_OK) != 0 || (backupSt.st_mode & 07777) != feedMode ||
            backupSt.st_uid != feedSt.st_uid || backupSt.st_gid != feedSt.st_gid)
            return false;
        if (backupSt.st_dev == feedSt.st_dev && backupSt.st_ino == feedSt.st_ino)
            return true; // already the same file
    } else {
        if (errno != ENOENT || feedSt.st_uid != ::geteuid() || feedSt.st_gid != ::getegid())
            return false;
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if ((0666 & ~mask) != feedMode)
            return false;
    }

    // The link is made under a temporary name and renamed over the backup,
    // so the backup is at every moment the old or the new one.
    const QFileInfo backupInfo(backupPath);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QByteArray temp =
            QFile::encodeName(backupInfo.absolutePath() + "/." + backupInfo.fileName() + "." +
                              QString::number(QRandomGenerator::global()->generate(), 36) + ".lnk");
        if (::link(feed.constData(), temp.constData()) != 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (::rename(temp.constData(), backup.constData()) != 0) {
            ::unlink(temp.constData());
            return false;
        }
        return true;
    }
    return false;
}
