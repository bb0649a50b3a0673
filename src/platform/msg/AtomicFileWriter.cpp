#include "AtomicFileWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace kestrel::platform::msg {

namespace {

// Short and independent of the final name, so that a final name of 255 bytes
// still has a temporary one; the pid tells a live writer's file from a
// leftover.
const QString kTempPrefix = QStringLiteral(".kestrel-");
const QString kTempSuffix = QStringLiteral(".tmp");
// A live writer touches its file with every write; one untouched this long is
// a leftover even when its pid has been reused.
constexpr qint64 kStaleSeconds = 60 * 60;

thread_local int t_deferredSyncs = 0;

bool fail(PlatformError* error, int code, const QString& text, const QString& path)
{
    if (error)
        *error = PlatformError::fromErrno(code, text, path);
    return false;
}

bool writeAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Moves from to to unless to exists (errno EEXIST then). File systems without
// RENAME_NOREPLACE get link and unlink, which refuse an existing name too.
bool renameNoReplace(const char* from, const char* to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(from, to) != 0)
        return false;
    ::unlink(from);
    return true;
}

// syncfs reaches the files of a local file system; a network or user-space
// one may keep them in its server beyond it.
bool syncfsReachesFiles(long type)
{
    switch (static_cast<unsigned long>(type)) {
    case 0x65735546: // FUSE
    case 0x6969:     // NFS
    case 0x517b:     // SMB
    case 0xff534d42: // CIFS
    case 0xfe534d42: // SMB2
    case 0x01021997: // 9P
    case 0x00c36400: // Ceph
        return false;
    default:
        return true;
    }
}

bool writerIsGone(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Creates the file at path (never over an existing one) holding data, synced
// when asked; on a failure nothing of it is left.
bool createWith(const QString& path, const QByteArray& data, bool sync, PlatformError* error)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(error, errno, QStringLiteral("cannot create the file"), path);
    if (!writeAll(fd, data) || (sync && ::fsync(fd) != 0)) {
        const int code = errno;
        ::close(fd);
        ::unlink(name.constData());
        return fail(error, code, QStringLiteral("cannot write the file"), path);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(name.constData());
        return fail(error, code, QStringLiteral("cannot write the file"), path);
    }
    return true;
}

// Writes a new file at a temporary name of ours; its caller renames it into
// place once it is synced, so one more name and rename in between would buy
// nothing.
bool writeTemporaryFile(const QString& path, const QByteArray& data, PlatformError* error)
{
    if (!createWith(path, data, false, error))
        return false;
    if (error)
        *error = {};
    return true;
}

} // namespace

DeferredSync::DeferredSync()
{
    ++t_deferredSyncs;
}

DeferredSync::~DeferredSync()
{
    --t_deferredSyncs;
}

QString temporaryPath(const QString& directory)
{
    return QDir(directory).filePath(
        kTempPrefix +
        QStringLiteral("%1-%2")
            .arg(::getpid())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')) +
        kTempSuffix);
}

bool writeFileAtomically(const QString& path, const QByteArray& data, PlatformError* error)
{
    const QFileInfo target(path);
    const bool sync = t_deferredSyncs == 0;
    const QString fileName = target.fileName();
    if (!sync && fileName.startsWith(kTempPrefix) && fileName.endsWith(kTempSuffix))
        return writeTemporaryFile(path, data, error);
    const QString dir = target.absolutePath();
    const QString temp = temporaryPath(dir);
    const QByteArray tempName = QFile::encodeName(temp);
    if (!createWith(temp, data, sync, error))
        return false;
    if (!renameNoReplace(tempName.constData(),
                         QFile::encodeName(target.absoluteFilePath()).constData())) {
        const int code = errno;
        ::unlink(tempName.constData());
        return fail(error, code,
                    code == EEXIST ? QStringLiteral("a file of that name appeared meanwhile")
                                   : QStringLiteral("cannot rename the file into place"),
                    path);
    }
    if (!sync) {
        if (error)
            *error = {};
        return true;
    }
    // The rename itself must reach the disk too.
    const int dirFd =
        ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    if (error)
        *error = {};
    return true;
}

bool renameNoReplace(const QString& from, const QString& to, PlatformError* error)
{
    if (renameNoReplace(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()))
        return true;
    const int code = errno;
    return fail(error, code,
                code == EEXIST ? QStringLiteral("a file of that name appeared meanwhile")
                               : QStringLiteral("cannot rename the file into place"),
                to);
}

FileSystemSync::FileSystemSync(const QString& directory) : m_directory(directory)
{
    m_fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    m_openError = m_fd < 0 ? errno : 0;
    struct statfs fs {};
    m_wholeSystem = m_fd >= 0 && ::fstatfs(m_fd, &fs) == 0 && syncfsReachesFiles(fs.f_type);
}

FileSystemSync::~FileSystemSync()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileSystemSync::sync(const QStringList& files, PlatformError* error)
{
    if (m_fd < 0)
        return fail(error, m_openError, QStringLiteral("cannot open the folder to make it durable"),
                    m_directory);
    if (m_wholeSystem) {
        if (::syncfs(m_fd) != 0)
            return fail(error, errno, QStringLiteral("cannot make the files durable"), m_directory);
        return true;
    }
    for (const QString& file : files) {
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return fail(error, errno, QStringLiteral("cannot make the file durable"), file);
        const bool synced = ::fsync(fd) == 0;
        const int code = errno;
        ::close(fd);
        if (!synced)
            return fail(error, code, QStringLiteral("cannot make the file durable"), file);
    }
    return true;
}

bool syncDirectory(const QString& directory, PlatformError* error)
{
    const int fd =
        ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail(error, errno, QStringLiteral("cannot open the folder to make it durable"),
                    directory);
    const bool synced = ::fsync(fd) == 0;
    const int code = errno;
    ::close(fd);
    return synced || fail(error, code, QStringLiteral("cannot make the names durable"), directory);
}

int removeStaleTemporaryFiles(const QString& directory)
{
    static const QRegularExpression ours(QStringLiteral("^\\.kestrel-(\\d+)-[0-9a-f]{8}\\.tmp$"));
    const QDir dir(directory, QStringLiteral(".kestrel-*.tmp"), QDir::Unsorted,
                   QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    int removed = 0;
    for (const QString& name : dir.entryList()) {
        const QRegularExpressionMatch match = ours.match(name);
        if (!match.hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const bool old = now - qint64(st.st_mtime) > kStaleSeconds;
        if ((old || writerIsGone(match.captured(1).toLongLong())) &&
            ::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace kestrel::platform::msg
