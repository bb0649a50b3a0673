#include "MaildirTreeCounter.h"

#include "FileAccess.h"
#include "FolderCount.h"
#include "NativeName.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

// An open directory; the descriptor is closed with the stream.
class DirectoryReader {
public:
    DirectoryReader(int parentFd, const char* name)
    {
        const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 && !(m_dir = ::fdopendir(fd)))
            ::close(fd);
    }
    ~DirectoryReader()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    bool ok() const { return m_dir != nullptr; }
    int fd() const { return ::dirfd(m_dir); }
    const dirent* next() { return ::readdir(m_dir); }

private:
    DIR* m_dir = nullptr;
};

bool isDotName(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Without following a link; only asked when the file system gives no type.
bool isDirectory(int dirFd, const dirent* entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
    struct stat st {};
    return ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::optional<MaildirTreeCount> MaildirTreeCounter::count(const QString& root,
                                                          PlatformError* error) const
{
    // The root is opened as named (it may be a link the user made); nothing below it is.
    const int fd = ::open(nativePath(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error =
                PlatformError::fromErrno(errno, QStringLiteral("The folder cannot be read"), root);
        return std::nullopt;
    }
    MaildirTreeCount count;
    visit(fd, 0, true, count);
    ::close(fd);
    return count;
}

void MaildirTreeCounter::visit(int dirFd, int depth, bool isRoot, MaildirTreeCount& walk) const
{
    if (walk.directories >= m_directoryCap) {
        walk.capped = true;
        return;
    }
    ++walk.directories;
    QList<QByteArray> subdirectories;
    {
        DirectoryReader dir(dirFd, ".");
        if (!dir.ok())
            return;
        while (const dirent* entry = dir.next()) {
            if (!isDotName(entry->d_name) && isDirectory(dir.fd(), entry))
                subdirectories.append(QByteArray(entry->d_name));
        }
    }
    const bool isFolder = subdirectories.contains("cur") && subdirectories.contains("new");
    if (isFolder) {
        ++walk.folders;
        walk.messages += countMessageEntries(dirFd, "cur").value_or(0) +
                         countMessageEntries(dirFd, "new").value_or(0);
        walk.rootIsFolder = walk.rootIsFolder || isRoot;
        subdirectories.removeAll("cur");
        subdirectories.removeAll("new");
        subdirectories.removeAll("tmp");
    }
    if (depth >= m_depthCap) {
        walk.capped = walk.capped || !subdirectories.isEmpty();
        return;
    }
    // Sorted, so that a capped walk gives the same figures every time.
    std::sort(subdirectories.begin(), subdirectories.end());
    for (const QByteArray& name : subdirectories) {
        if (walk.capped)
            return;
        const int fd =
            ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        visit(fd, depth + 1, false, walk);
        ::close(fd);
    }
}

} // namespace kestrel::platform::maildir
