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

bool writerIsGone(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, PlatformError* error)
{
    const QFileInfo target(path);
    const QString dir = target.absolutePath();
    const QString temp = QDir(dir).filePath(
        kTempPrefix +
        QStringLiteral("%1-%2")
            .arg(::getpid())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')) +
        kTempSuffix);
    const QByteArray tempName = QFile::encodeName(temp);

    const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(error, errno, QStringLiteral("cannot create the file"), temp);
    if (!writeAll(fd, data) || ::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        ::unlink(tempName.constData());
        return fail(error, code, QStringLiteral("cannot write the file"), temp);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(tempName.constData());
        return fail(error, code, QStringLiteral("cannot write the file"), temp);
    }
    if (!renameNoReplace(tempName.constData(),
                         QFile::encodeName(target.absoluteFilePath()).constData())) {
        const int code = errno;
        ::unlink(tempName.constData());
        return fail(error, code,
                    code == EEXIST ? QStringLiteral("a file of that name appeared meanwhile")
                                   : QStringLiteral("cannot rename the file into place"),
                    path);
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
