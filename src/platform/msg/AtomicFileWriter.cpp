#include "AtomicFileWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kestrel::platform::msg {

namespace {

bool fail(PlatformError* error, int code, const QString& text, const QString& path)
{
    if (error) {
        const ErrorKind kind = code == ENOENT                      ? ErrorKind::NotFound
                               : (code == EACCES || code == EPERM) ? ErrorKind::AccessDenied
                                                                   : ErrorKind::Io;
        *error = {kind, code, text,
                  path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code))};
    }
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

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, PlatformError* error)
{
    const QFileInfo target(path);
    const QString dir = target.absolutePath();
    const QString temp = QDir(dir).filePath(
        QStringLiteral(".%1.%2.tmp")
            .arg(target.fileName())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
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
    if (::rename(tempName.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) !=
        0) {
        const int code = errno;
        ::unlink(tempName.constData());
        return fail(error, code, QStringLiteral("cannot rename the file into place"), path);
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

} // namespace kestrel::platform::msg
