#include "MaildirBackend.h"

#include "FileAccess.h"
#include "MessageFileName.h"
#include "NativeName.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <utility>

namespace kestrel::platform::maildir {

namespace {

qint64 mtimeNs(const QString& dir)
{
    struct stat st {};
    if (::lstat(nativePath(dir).constData(), &st) != 0)
        return -1;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

qint64 nowNs()
{
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Every entry but directories and hidden files is listed, links and special
// files too: they are refused when used, so that they count as failures
// instead of vanishing. Names keep their bytes (see NativeName.h).
void listDir(const QString& dir, bool inNew, FolderListing& out)
{
    DIR* handle = ::opendir(nativePath(dir).constData());
    if (!handle)
        return;
    const int dirFd = ::dirfd(handle);
    while (const dirent* entry = ::readdir(handle)) {
        if (entry->d_name[0] == '.')
            continue; // ".", "..", and hidden files are not messages
        bool isDir = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDir = ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISDIR(st.st_mode);
        }
        if (!isDir)
            out.add(QByteArrayView(entry->d_name), inNew, entry->d_type == DT_REG);
    }
    ::closedir(handle);
}

} // namespace

int MaildirBackend::storeIndexForPath(const QString& path) const
{
    for (int i = 0; i < storeCount(); ++i) {
        if (store(i).path == path)
            return i;
    }
    return -1;
}

QString MaildirBackend::folderDir(const FolderRef& folder) const
{
    const QString root = store(folder.store).path;
    if (folder.isStoreRoot() || folder.isInbox())
        return root;
    return root + '/' + folder.dirName;
}

QString MaildirBackend::messagePath(const QString& folderDir, const MessageEntry& entry)
{
    return folderDir + (entry.inNew ? QLatin1String("/new/") : QLatin1String("/cur/")) +
           entry.fileName;
}

bool MaildirBackend::isStoreRootDir(const QString& folderDir) const
{
    return storeIndexForPath(folderDir) >= 0;
}

std::shared_ptr<const FolderListing> MaildirBackend::scan(const QString& folderDir,
                                                          PlatformError* error)
{
    // Stamps first: a change during the listing then shows up as a newer stamp.
    const qint64 curStamp = mtimeNs(folderDir + QLatin1String("/cur"));
    const qint64 newStamp = mtimeNs(folderDir + QLatin1String("/new"));
    const qint64 scannedAt = nowNs();

    // The old index goes first, so that two listings are never held at once.
    m_indexes.remove(folderDir);
    auto listing = std::make_shared<FolderListing>();
    PlatformError problem;
    if (checkFolderDirs(folderDir, isStoreRootDir(folderDir), false, &problem)) {
        listDir(folderDir + QLatin1String("/cur"), false, *listing);
        listDir(folderDir + QLatin1String("/new"), true, *listing);
    } else if (error) {
        *error = problem;
    }
    listing->sort();
    FolderIndex index(listing);
    index.curStamp = curStamp;
    index.newStamp = newStamp;
    index.scannedAt = scannedAt;
    m_indexes.insert(folderDir, std::move(index));
    return listing;
}

bool MaildirBackend::unchangedSinceScan(const QString& folderDir, const FolderIndex& index) const
{
    // Directory times are coarse: only trust a stamp that was already old at the scan.
    constexpr qint64 kSettle = 2'000'000'000;
    const qint64 cur = mtimeNs(folderDir + QLatin1String("/cur"));
    const qint64 fresh = mtimeNs(folderDir + QLatin1String("/new"));
    return cur == index.curStamp && fresh == index.newStamp &&
           qMax(cur, fresh) + kSettle < index.scannedAt;
}

std::optional<MessageEntry> MaildirBackend::locate(const QString& folderDir, const QString& unique,
                                                   const MessageEntry* known)
{
    if (known && (takeJustRead(folderDir, *known) || entryExists(messagePath(folderDir, *known))))
        return *known;
    auto it = m_indexes.find(folderDir);
    if (it != m_indexes.end()) {
        const std::optional<MessageEntry> hit = it->find(unique);
        if (hit && (takeJustRead(folderDir, *hit) || entryExists(messagePath(folderDir, *hit))))
            return hit;
        if (!hit && unchangedSinceScan(folderDir, *it))
            return std::nullopt;
    }
    scan(folderDir);
    return m_indexes[folderDir].find(unique);
}

void MaildirBackend::remember(const QString& folderDir, const QString& unique,
                              const MessageEntry& entry)
{
    auto it = m_indexes.find(folderDir);
    if (it != m_indexes.end())
        it->remember(unique, entry);
}

bool MaildirBackend::holdsUnique(const QString& folderDir, const QString& unique)
{
    auto it = m_indexes.find(folderDir);
    if (it == m_indexes.end()) {
        scan(folderDir);
        it = m_indexes.find(folderDir);
    }
    return it != m_indexes.end() && it->find(unique).has_value();
}

void MaildirBackend::forget(const QString& folderDir, const QString& unique)
{
    auto it = m_indexes.find(folderDir);
    if (it != m_indexes.end())
        it->forget(unique);
}

namespace {

// How long a folder found sound, or a file just read, is taken as still so.
constexpr qint64 kTrustNs = 1'000'000'000;

} // namespace

qint64 MaildirBackend::clockNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool MaildirBackend::checkFolderDirsRecently(const QString& dir, bool storeRoot, bool withTmp,
                                             PlatformError* error)
{
    const qint64 nowNs = clockNs();
    // A run asks about the same folders for every message: those are
    // answered without building their key.
    const QLatin1String suffix = withTmp ? QLatin1String("\n+tmp") : QLatin1String("\n");
    for (const SoundFolder& last : m_lastSound) {
        if (nowNs - last.at < kTrustNs && last.key.size() == dir.size() + suffix.size() &&
            last.key.startsWith(dir) && last.key.endsWith(suffix))
            return true;
    }
    const QString key = dir + suffix;
    const auto remember = [&](qint64 at) {
        m_lastSound[m_nextLastSound] = {key, at};
        m_nextLastSound = (m_nextLastSound + 1) % m_lastSound.size();
    };
    const auto found = m_soundFolders.constFind(key);
    if (found != m_soundFolders.cend() && nowNs - *found < kTrustNs) {
        remember(*found);
        return true;
    }
    if (!checkFolderDirs(dir, storeRoot, withTmp, error)) {
        m_soundFolders.remove(key);
        for (SoundFolder& last : m_lastSound) {
            if (last.key == key)
                last = {};
        }
        return false;
    }
    if (m_soundFolders.size() > 4096)
        m_soundFolders.clear();
    m_soundFolders.insert(key, nowNs);
    remember(nowNs);
    return true;
}

void MaildirBackend::noteRead(const QString& folderDir, const MessageEntry& entry,
                              std::optional<qint64> readAtNs)
{
    m_justReadDir = folderDir;
    m_justRead = entry;
    m_justReadAt = readAtNs.value_or(clockNs());
}

std::optional<MaildirBackend::IdHint> MaildirBackend::takeIdHint(const QString& id)
{
    std::optional<IdHint> hint = std::exchange(m_idHint, std::nullopt);
    if (hint && hint->id != id)
        hint.reset();
    return hint;
}

bool MaildirBackend::takeJustRead(const QString& folderDir, const MessageEntry& entry)
{
    const bool fresh = !m_justRead.fileName.isEmpty() && m_justRead.fileName == entry.fileName &&
                       m_justRead.inNew == entry.inNew && m_justReadDir == folderDir &&
                       clockNs() - m_justReadAt < kTrustNs;
    m_justRead.fileName.clear();
    return fresh;
}

} // namespace kestrel::platform::maildir
