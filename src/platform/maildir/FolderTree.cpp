#include "FolderTree.h"

#include "MaildirName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

bool makeDir(const QString& path, int* code)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || errno == EEXIST)
        return true;
    *code = errno;
    return false;
}

} // namespace

bool syncDirectory(const QString& dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    if (made.contains(dir) && QFileInfo(dir + QLatin1String("/tmp")).isDir())
        return true;
    int code = 0;
    for (const char* sub : {"", "/cur", "/new", "/tmp"}) {
        if (!makeDir(dir + QLatin1String(sub), &code)) {
            if (error)
                *error = {code == EACCES ? ErrorKind::AccessDenied : ErrorKind::Io, code,
                          QStringLiteral("The folder cannot be created"),
                          dir + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(code))};
            return false;
        }
    }
    made.insert(dir);
    return true;
}

QStringList FolderTree::topDirectories(int store) const
{
    return QDir(m_backend.store(store).path)
        .entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
}

QList<FolderRef> FolderTree::children(const FolderRef& parent) const
{
    QList<FolderRef> result;
    const QString prefix = parent.childPrefix() + '.';
    QStringList seen;
    for (const QString& dir : topDirectories(parent.store)) {
        if (!dir.startsWith(prefix) || dir.size() == prefix.size())
            continue;
        const qsizetype dot = dir.indexOf('.', prefix.size());
        const QString childDir = dot < 0 ? dir : dir.left(dot);
        if (seen.contains(childDir))
            continue;
        seen.append(childDir);
        std::optional<FolderRef> ref = FolderRef::fromDirName(parent.store, childDir);
        if (!ref || ref->isInbox() || ref->names.size() != parent.names.size() + 1)
            continue; // undecodable names and ".INBOX" itself
        result.append(*ref);
    }
    std::sort(result.begin(), result.end(), [](const FolderRef& a, const FolderRef& b) {
        const int order = a.names.last().compare(b.names.last(), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.names.last() < b.names.last();
    });
    if (parent.isStoreRoot())
        result.prepend(FolderRef::inbox(parent.store));
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
    if (name.isEmpty()) {
        if (error)
            *error = {ErrorKind::Invalid, -1, QStringLiteral("A folder needs a name"), {}};
        return std::nullopt;
    }
    const std::optional<FolderRef> existing = child(parent, name);
    if (existing && QFileInfo(m_backend.folderDir(*existing)).isDir()) {
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
    if (!ensureMaildirDirs(dir, error))
        return std::nullopt;
    QFile marker(dir + QLatin1String("/maildirfolder"));
    if (!marker.exists())
        marker.open(QIODevice::WriteOnly);
    syncDirectory(dir);
    syncDirectory(m_backend.store(parent.store).path);
    return ref;
}

std::optional<FolderRef> FolderTree::deletedItems(int store, PlatformError* error) const
{
    const FolderRef root = FolderRef::storeRoot(store);
    if (std::optional<FolderRef> found = child(root, QLatin1String(kDeletedItemsName));
        found && QFileInfo(m_backend.folderDir(*found)).isDir())
        return found;
    return create(root, QLatin1String(kDeletedItemsName), error);
}

bool FolderTree::exists(const FolderRef& folder) const
{
    if (folder.isStoreRoot() || folder.isInbox())
        return QFileInfo(m_backend.store(folder.store).path).isDir();
    if (QFileInfo(m_backend.folderDir(folder)).isDir())
        return true;
    const QString prefix = folder.dirName + '.';
    const QStringList dirs = topDirectories(folder.store);
    return std::any_of(dirs.begin(), dirs.end(),
                       [&](const QString& dir) { return dir.startsWith(prefix); });
}

} // namespace kestrel::platform::maildir
