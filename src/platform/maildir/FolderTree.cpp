#include "FolderTree.h"

#include "FileAccess.h"
#include "MaildirName.h"
#include "NativeName.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

bool makeDir(const QString& path, int* code)
{
    if (::mkdir(nativePath(path).constData(), 0700) == 0)
        return true;
    *code = errno;
    return errno == EEXIST;
}

} // namespace

bool syncDirectory(const QString& dir)
{
    const int fd = ::open(nativePath(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool ensureMaildirDirs(const QString& dir, PlatformError* error)
{
    // A run moves thousands of messages into a few folders: make each once. A
    // folder removed behind our back makes the next write fail and be retried here.
    static thread_local QSet<QString> made;
    if (made.contains(dir) && isRealDirectory(dir + QLatin1String("/tmp")))
        return true;
    int code = 0;
    for (const char* sub : {"", "/cur", "/new", "/tmp"}) {
        const QString path = dir + QLatin1String(sub);
        if (!makeDir(path, &code)) {
            if (error)
                *error = PlatformError::fromErrno(
                    code, QStringLiteral("The folder cannot be created"), path);
            return false;
        }
        // An existing cur/, new/ or tmp/ that is a link would put the message
        // outside the store.
        if (code == EEXIST && *sub && !isRealDirectory(path)) {
            if (error)
                *error = {ErrorKind::Invalid, -1,
                          QStringLiteral("The folder's %1 directory is a symbolic link or no "
                                         "directory")
                              .arg(QLatin1String(sub + 1)),
                          path};
            return false;
        }
        code = 0;
    }
    made.insert(dir);
    return true;
}

QList<FolderRef> FolderTree::children(const FolderRef& parent) const
{
    struct Found {
        FolderRef ref;
        bool canonical = true;
    };
    const std::shared_ptr<const RootDirectories> root = m_backend.folderDirectories(parent.store);
    if (const auto known = root->children.constFind(parent.dirName);
        known != root->children.cend() && known->parentNames == parent.names)
        return known->refs;
    QList<Found> found;
    const QString prefix = parent.childPrefix() + '.';
    QSet<QString> seen;
    // The listing is sorted: the directories below the parent are one run of it.
    const QStringList& dirs = root->names;
    for (auto it = std::lower_bound(dirs.begin(), dirs.end(), prefix);
         it != dirs.end() && it->startsWith(prefix); ++it) {
        const QString& dir = *it;
        const qsizetype dot = dir.indexOf('.', prefix.size());
        const QString childDir = dot < 0 ? dir : dir.left(dot);
        if (seen.contains(childDir))
            continue;
        seen.insert(childDir);
        if (parent.isStoreRoot() && childDir == QLatin1String(".INBOX"))
            continue; // the Maildir root itself, listed as Inbox
        bool canonical = true;
        FolderRef ref{parent.store, childDir, parent.names};
        ref.names.append(folderDisplayName(childDir.mid(prefix.size()), &canonical));
        found.append({std::move(ref), canonical});
    }
    // Every directory gets a name of its own: a name spelled on disk in
    // another way than this program writes it may repeat one that is already
    // taken, and then gets a number.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.canonical != b.canonical ? a.canonical : a.ref.dirName < b.ref.dirName;
    });
    QSet<QString> taken;
    if (parent.isStoreRoot())
        taken.insert(QLatin1String(kInboxName));
    QList<FolderRef> result;
    for (Found& entry : found) {
        const QString name = entry.ref.names.last();
        for (int n = 2; taken.contains(entry.ref.names.last()); ++n)
            entry.ref.names.last() = name + QStringLiteral(" (%1)").arg(n);
        taken.insert(entry.ref.names.last());
        result.append(std::move(entry.ref));
    }
    std::sort(result.begin(), result.end(), [](const FolderRef& a, const FolderRef& b) {
        const int order = a.names.last().compare(b.names.last(), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.names.last() < b.names.last();
    });
    if (parent.isStoreRoot())
        result.prepend(FolderRef::inbox(parent.store));
    root->children.insert(parent.dirName, {parent.names, result});
    return result;
}

std::optional<FolderRef> FolderTree::child(const FolderRef& parent, const QString& name) const
{
    const QList<FolderRef> all = children(parent);
    for (const FolderRef& ref : all) {
        if (ref.names.last() == name)
            return ref;
    }
    if (parent.isStoreRoot() && name.compare(QLatin1String(kInboxName), Qt::CaseInsensitive) == 0)
        return FolderRef::inbox(parent.store);
    return std::nullopt;
}

std::optional<FolderRef> FolderTree::create(const FolderRef& parent, const QString& name,
                                            PlatformError* error) const
{
    if (!isUsableFolderName(name)) {
        if (error)
            *error = {ErrorKind::Invalid, -1,
                      QStringLiteral("A folder needs a name other than \".\" and \"..\""), name};
        return std::nullopt;
    }
    const std::optional<FolderRef> existing = child(parent, name);
    if (existing && entryExists(m_backend.folderDir(*existing))) {
        if (error)
            *error = {ErrorKind::Exists, EEXIST, QStringLiteral("The folder already exists"), name};
        return std::nullopt;
    }
    FolderRef ref{parent.store, parent.childPrefix() + '.' + encodeFolderComponent(name),
                  parent.names};
    ref.names.append(name);
    if (existing)
        ref = *existing; // a parent so far implied by its children keeps its spelling
    const QString dir = m_backend.folderDir(ref);
    const bool made = ensureMaildirDirs(dir, error);
    m_backend.forgetFolderDirectories(parent.store);
    if (!made)
        return std::nullopt;
    const int marker = ::open(nativePath(dir + QLatin1String("/maildirfolder")).constData(),
                              O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (marker >= 0)
        ::close(marker);
    syncDirectory(dir);
    syncDirectory(m_backend.store(parent.store).path);
    return ref;
}

std::optional<FolderRef> FolderTree::deletedItems(int store, PlatformError* error) const
{
    const FolderRef root = FolderRef::storeRoot(store);
    if (std::optional<FolderRef> found = child(root, QLatin1String(kDeletedItemsName));
        found && entryExists(m_backend.folderDir(*found)))
        return found;
    return create(root, QLatin1String(kDeletedItemsName), error);
}

bool FolderTree::exists(const FolderRef& folder) const
{
    if (folder.isStoreRoot() || folder.isInbox())
        return QFileInfo(m_backend.store(folder.store).path).isDir(); // the profile's own path
    if (entryExists(m_backend.folderDir(folder)))
        return true;
    const QString prefix = folder.dirName + '.';
    const std::shared_ptr<const RootDirectories> root = m_backend.folderDirectories(folder.store);
    const QStringList& dirs = root->names;
    const auto below = std::lower_bound(dirs.begin(), dirs.end(), prefix);
    return below != dirs.end() && below->startsWith(prefix);
}

} // namespace kestrel::platform::maildir
