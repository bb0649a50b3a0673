#include "FolderCount.h"

#include "FileAccess.h"
#include "NativeName.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool isDirectoryEntry(int dirFd, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
    struct stat st {};
    return ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

std::optional<qint64> fail(const QString& folderDir, bool storeRoot, int code, PlatformError* error)
{
    // The same words as a listing of the folder would give for a link or a file.
    if (error && checkFolderDirs(folderDir, storeRoot, false, error))
        *error =
            PlatformError::fromErrno(code, QStringLiteral("The folder cannot be read"), folderDir);
    return std::nullopt;
}

} // namespace

std::optional<qint64> countMessageEntries(int parentFd, const char* name)
{
    const int fd = ::openat(parentFd, name, kDirFlags | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int code = errno;
        ::close(fd);
        errno = code;
        return std::nullopt;
    }
    qint64 n = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' && !isDirectoryEntry(fd, entry))
            ++n;
    }
    ::closedir(dir);
    return n;
}

std::optional<qint64> countFolderMessages(const QString& folderDir, bool storeRoot,
                                          PlatformError* error)
{
    const int folderFd =
        ::open(nativePath(folderDir).constData(), kDirFlags | (storeRoot ? 0 : O_NOFOLLOW));
    if (folderFd < 0)
        return errno == ENOENT ? std::optional<qint64>(0)
                               : fail(folderDir, storeRoot, errno, error);
    qint64 total = 0;
    for (const char* sub : {"cur", "new"}) {
        const std::optional<qint64> n = countMessageEntries(folderFd, sub);
        if (!n && errno != ENOENT) {
            const int code = errno;
            ::close(folderFd);
            return fail(folderDir, storeRoot, code, error);
        }
        total += n.value_or(0);
    }
    ::close(folderFd);
    return total;
}

} // namespace kestrel::platform::maildir
