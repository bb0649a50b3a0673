#include "RootListing.h"

#include "NativeName.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

namespace kestrel::platform::maildir {

namespace {

// The root as named: it may be a link the user made.
qint64 mtimeNs(const QByteArray& root)
{
    struct stat st {};
    if (::stat(root.constData(), &st) != 0)
        return -1;
    return qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

qint64 nowNs()
{
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

QStringList readFolderDirectories(const QByteArray& root)
{
    QStringList names;
    DIR* handle = ::opendir(root.constData());
    if (!handle)
        return names;
    const int dirFd = ::dirfd(handle);
    while (const dirent* entry = ::readdir(handle)) {
        const char* name = entry->d_name;
        if (name[0] != '.' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR || type == DT_LNK)
            names.append(nameFromBytes(QByteArray(name)));
    }
    ::closedir(handle);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::shared_ptr<const RootDirectories> RootListing::folderDirectories(const QString& root)
{
    // Directory times are coarse: a listing is trusted again only when the
    // root's time is unchanged and was already old when it was read, so that
    // a change in the same clock tick as the listing is never missed. Until
    // then it is read again, but not for every lookup of a tree of thousands
    // of folders: a listing of a moment ago is as good as a new one.
    constexpr qint64 kSettleNs = 2'000'000'000;
    constexpr qint64 kFreshNs = 100'000'000;
    const QByteArray native = nativePath(root);
    const qint64 mtime = mtimeNs(native);
    const qint64 now = nowNs();
    const auto found = m_roots.constFind(root);
    if (found != m_roots.cend() && mtime >= 0 && found->mtimeNs == mtime &&
        (mtime + kSettleNs < found->listedAtNs || now - found->listedAtNs < kFreshNs))
        return found->directories;
    auto directories = std::make_shared<RootDirectories>();
    directories->names = readFolderDirectories(native);
    if (mtime < 0)
        m_roots.remove(root);
    else
        m_roots.insert(root, {mtime, now, directories});
    return directories;
}

void RootListing::forget(const QString& root)
{
    m_roots.remove(root);
}

} // namespace kestrel::platform::maildir
