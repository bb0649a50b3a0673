#include "PlatformError.h"

#include <cerrno>
#include <cstring>

namespace kestrel::platform {

namespace {

ErrorKind kindOfErrno(int code)
{
    switch (code) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorKind::AccessDenied;
    case ENOENT:
    case ENOTDIR:
        return ErrorKind::NotFound;
    case EEXIST:
        return ErrorKind::Exists;
    default:
        return ErrorKind::Io;
    }
}

} // namespace

PlatformError PlatformError::fromErrno(int code, const QString& text, const QString& detail)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(code));
    return {kindOfErrno(code), code, text,
            detail.isEmpty() ? reason : detail + QStringLiteral(": ") + reason};
}

} // namespace kestrel::platform
