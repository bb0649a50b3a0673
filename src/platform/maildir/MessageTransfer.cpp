#include "MessageTransfer.h"

#include "FileAccess.h"
#include "FolderTree.h"
#include "MessageFileName.h"
#include "NativeName.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

QByteArray native(const QString& path)
{
    return nativePath(path);
}

bool failWith(PlatformError* error, int code, const QString& text, const QString& path)
{
    if (error)
        *error = PlatformError::fromErrno(code, text, path);
    return false;
}

// rename(2) that refuses to replace an existing file; 0 or an errno.
int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without RENAME_NOREPLACE: a hard link never replaces either.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size_t(size));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= done;
    }
    return true;
}

// Copies the rest of the file at from into to; false with errno set.
bool copyAll(int from, int to)
{
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!writeAll(to, buffer.constData(), n))
            return false;
    }
}

// What a new file is made of: bytes in memory, or an open source file.
struct Content {
    const QByteArray* bytes = nullptr;
    int fd = -1;
    qint64 size = 0;
};

// Writes content into destDir/tmp, fsyncs it and gives it the times, then
// renames it into destDir/cur as unique:2,flags (a new unique on a clash).
std::optional<QString> commitNew(const Content& content, const QString& destDir, QString unique,
                                 const QString& flags, const struct timespec times[2],
                                 PlatformError* error)
{
    if (!ensureMaildirDirs(destDir, error))
        return std::nullopt;
    const QString tmpPath = destDir + QLatin1String("/tmp/") + newUniqueName(content.size);
    const QByteArray tmp = native(tmpPath);
    const int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        failWith(error, errno, QStringLiteral("The message cannot be written"), tmpPath);
        return std::nullopt;
    }
    const bool copied = content.bytes
                            ? writeAll(fd, content.bytes->constData(), content.bytes->size())
                            : copyAll(content.fd, fd);
    const bool written = copied && ::fsync(fd) == 0 && ::futimens(fd, times) == 0;
    const int code = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(tmp.constData());
        failWith(error, written ? errno : code, QStringLiteral("The message cannot be written"),
                 tmpPath);
        return std::nullopt;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        MessageFileName name{unique, normalizeFlags(flags), true};
        const QString target = destDir + QLatin1String("/cur/") + name.toString();
        const int result = renameNoReplace(tmp, native(target));
        if (result == 0) {
            syncDirectory(destDir + QLatin1String("/cur"));
            return name.toString();
        }
        if (result != EEXIST) {
            ::unlink(tmp.constData());
            failWith(error, result, QStringLiteral("The message cannot be stored"), target);
            return std::nullopt;
        }
        unique = newUniqueName(content.size);
    }
    ::unlink(tmp.constData());
    failWith(error, EEXIST, QStringLiteral("No free name for the message"), destDir);
    return std::nullopt;
}

} // namespace

std::optional<QString> MessageTransfer::transfer(const QString& sourcePath, const QString& destDir,
                                                 const QString& unique, const QString& flags,
                                                 bool copy, PlatformError* error)
{
    const QByteArray source = native(sourcePath);
    if (!copy) {
        // The destination's directories are made only when the rename finds
        // them missing: a run moving into one folder would otherwise look
        // for them once a message.
        bool dirsEnsured = false;
        QString targetUnique = unique;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString name =
                MessageFileName{targetUnique, normalizeFlags(flags), true}.toString();
            const int result =
                renameNoReplace(source, native(destDir + QLatin1String("/cur/") + name));
            if (result == ENOENT && !dirsEnsured) {
                if (!ensureMaildirDirs(destDir, error))
                    return std::nullopt;
                dirsEnsured = true;
                continue;
            }
            if (result == 0) {
                // No fsync: a rename writes no data, the kernel makes it atomic for a
                // kill, and the journal commits both directory entries in one
                // transaction, so even a power cut leaves the message in one place.
                // A directory fsync per message would cost more than the move.
                return name;
            }
            if (result == EXDEV)
                break; // another file system: copy, then remove
            if (result != EEXIST) {
                failWith(error, result, QStringLiteral("The message cannot be moved"), sourcePath);
                return std::nullopt;
            }
            struct stat st {};
            targetUnique = newUniqueName(::stat(source.constData(), &st) == 0 ? st.st_size : 0);
        }
    }

    struct stat st {};
    const int sourceFd = openMessageFile(sourcePath, &st, error);
    if (sourceFd < 0)
        return std::nullopt;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    const QString newUnique = copy ? newUniqueName(st.st_size) : unique;
    std::optional<QString> name =
        commitNew({nullptr, sourceFd, qint64(st.st_size)}, destDir, newUnique, flags, times, error);
    ::close(sourceFd);
    if (!name || copy)
        return name;
    if (::unlink(source.constData()) != 0 && errno != ENOENT) {
        // Both copies exist now: better than none, but the move did not happen.
        failWith(error, errno,
                 QStringLiteral("The message was copied but cannot be removed from its folder; "
                                "the copy stays in the destination"),
                 sourcePath);
        return std::nullopt;
    }
    return name; // an unsynced unlink can at worst bring the source back: both, never neither
}

std::optional<QString> MessageTransfer::store(const QByteArray& content, const QString& destDir,
                                              const QString& flags, qint64 receivedMsecs,
                                              PlatformError* error)
{
    struct timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
    if (receivedMsecs >= 0) {
        times[1].tv_sec = time_t(receivedMsecs / 1000);
        times[1].tv_nsec = long(receivedMsecs % 1000) * 1000000;
    }
    return commitNew({&content, -1, content.size()}, destDir, newUniqueName(content.size()), flags,
                     times, error);
}

bool MessageTransfer::remove(const QString& path, PlatformError* error)
{
    // No fsync: losing a delete to a power cut keeps a message, never loses one.
    if (::unlink(native(path).constData()) != 0)
        return failWith(error, errno, QStringLiteral("The message cannot be deleted"), path);
    return true;
}

} // namespace kestrel::platform::maildir
