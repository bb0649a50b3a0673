#include "FileAccess.h"

#include "NativeName.h"

#include <QVarLengthArray>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

int openMessageFile(const QString& path, struct stat* st, PlatformError* error)
{
    return openMessageFileAt(AT_FDCWD, path, path, st, error);
}

int openRegularAt(int dirFd, const char* nativeName, struct stat* st)
{
    // Reading a message is no use of it: without O_NOATIME a Preview of a
    // folder of 100,000 would change as many access times, and the disk
    // would write them all back. Only the files' owner (or root) may ask.
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::openat(dirFd, nativeName, kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::openat(dirFd, nativeName, kFlags);
    if (fd < 0)
        return -1;
    if (::fstat(fd, st) != 0) {
        const int code = errno;
        ::close(fd);
        errno = code;
        return -1;
    }
    if (!S_ISREG(st->st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

namespace {

// A listing's name bytes, NUL-terminated for the *at() calls.
QVarLengthArray<char, 256> terminated(QByteArrayView name)
{
    QVarLengthArray<char, 256> out(name.size() + 1);
    std::memcpy(out.data(), name.data(), size_t(name.size()));
    out[name.size()] = '\0';
    return out;
}

} // namespace

int openRegularAt(int dirFd, QByteArrayView nativeName, struct stat* st)
{
    return openRegularAt(dirFd, terminated(nativeName).constData(), st);
}

bool lstatAt(int dirFd, QByteArrayView nativeName, struct stat* st)
{
    return ::fstatat(dirFd, terminated(nativeName).constData(), st, AT_SYMLINK_NOFOLLOW) == 0;
}

DirectoryHandle::DirectoryHandle(const QString& path)
    : fd(::open(nativePath(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
}

DirectoryHandle::~DirectoryHandle()
{
    if (fd >= 0)
        ::close(fd);
}

int openMessageFileAt(int dirFd, const QString& name, const QString& path, struct stat* st,
                      PlatformError* error)
{
    const int fd = openRegularAt(dirFd, nativePath(name).constData(), st);
    if (fd < 0) {
        const int code = errno;
        if (error) {
            if (code == ELOOP)
                *error = {ErrorKind::Invalid, code,
                          QStringLiteral("The message file is a symbolic link, which is not "
                                         "followed"),
                          path};
            else if (code == EINVAL)
                *error = {ErrorKind::Invalid, -1,
                          QStringLiteral("The message is not a regular file"), path};
            else
                *error = PlatformError::fromErrno(
                    code, QStringLiteral("The message file cannot be read"), path);
        }
        return -1;
    }
    return fd;
}

std::optional<QByteArray> readMessageFile(const QString& path, qint64 maxBytes,
                                          PlatformError* error)
{
    struct stat st {};
    const int fd = openMessageFile(path, &st, error);
    if (fd < 0)
        return std::nullopt;
    if (st.st_size > maxBytes) {
        ::close(fd);
        if (error)
            *error = {ErrorKind::Invalid, EFBIG, QStringLiteral("The message is too large"),
                      path + QStringLiteral(": %1 bytes").arg(qint64(st.st_size))};
        return std::nullopt;
    }
    QByteArray content(qsizetype(st.st_size), Qt::Uninitialized);
    qint64 got = 0;
    while (got < content.size()) {
        const ssize_t n = ::read(fd, content.data() + got, size_t(content.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int code = errno;
            ::close(fd);
            if (error)
                *error = PlatformError::fromErrno(
                    code, QStringLiteral("The message file cannot be read"), path);
            return std::nullopt;
        }
        if (n == 0)
            break; // shrank meanwhile: keep what is there
        got += n;
    }
    ::close(fd);
    content.truncate(got);
    return content;
}

namespace {

// 0 when the entry is a real directory or missing, else an error text.
const char* checkDirectory(const QString& path, bool mayBeLink)
{
    struct stat st {};
    const QByteArray native = nativePath(path);
    if (::lstat(native.constData(), &st) != 0)
        return nullptr; // missing (or unreadable: the next call says why)
    if (S_ISLNK(st.st_mode)) {
        if (mayBeLink && ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            return nullptr;
        return "is a symbolic link, which is not followed";
    }
    return S_ISDIR(st.st_mode) ? nullptr : "is not a directory";
}

} // namespace

bool checkFolderDirs(const QString& dir, bool storeRoot, bool withTmp, PlatformError* error)
{
    const QString subs[] = {QString(), QStringLiteral("/cur"), QStringLiteral("/new"),
                            QStringLiteral("/tmp")};
    for (const QString& sub : subs) {
        if (sub == QLatin1String("/tmp") && !withTmp)
            continue;
        if (const char* problem = checkDirectory(dir + sub, storeRoot && sub.isEmpty())) {
            if (error) {
                const QString what =
                    sub.isEmpty() ? QStringLiteral("The folder")
                                  : QStringLiteral("The folder's %1 directory").arg(sub.mid(1));
                *error = {ErrorKind::Invalid, -1,
                          what + QLatin1Char(' ') + QString::fromLatin1(problem), dir + sub};
            }
            return false;
        }
    }
    return true;
}

bool entryExists(const QString& path)
{
    struct stat st {};
    return ::lstat(nativePath(path).constData(), &st) == 0;
}

bool isRealDirectory(const QString& path)
{
    struct stat st {};
    return ::lstat(nativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace kestrel::platform::maildir
