#include "StoreCheck.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

bool holdsMaildirFolder(const QString& dir)
{
    return QFileInfo(dir + QLatin1String("/cur")).isDir() &&
           QFileInfo(dir + QLatin1String("/new")).isDir();
}

// A Maildir++ root is a folder itself (Inbox) or holds ".Name" folders.
bool isMaildirTree(const QString& root)
{
    if (holdsMaildirFolder(root))
        return true;
    const QStringList subfolders = QDir(root).entryList(
        {QStringLiteral(".?*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : subfolders) {
        if (holdsMaildirFolder(root + '/' + name))
            return true;
    }
    return false;
}

PlatformError reason(ErrorKind kind, const StoreEntry& store, const QString& what)
{
    return {kind, -1, QStringLiteral("The store \"%1\" %2").arg(store.name, what), store.path};
}

} // namespace

std::optional<PlatformError> unusableReason(const StoreEntry& store)
{
    const QFileInfo info(store.path);
    if (!info.exists())
        return reason(ErrorKind::NotFound, store, QStringLiteral("does not exist"));
    if (!info.isDir())
        return reason(ErrorKind::Invalid, store, QStringLiteral("is not a folder"));
    // Listing needs read and search permission on the root, as the program runs.
    if (::faccessat(AT_FDCWD, QFile::encodeName(store.path).constData(), R_OK | X_OK, AT_EACCESS) !=
        0)
        return reason(ErrorKind::AccessDenied, store, QStringLiteral("cannot be read"));
    if (!isMaildirTree(store.path))
        return reason(ErrorKind::Invalid, store, QStringLiteral("is not a Maildir folder tree"));
    return std::nullopt;
}

MailProfile withUsableStores(const MailProfile& profile, QList<PlatformError>& leftOut)
{
    MailProfile usable = profile;
    usable.stores.clear();
    usable.defaultStore = 0;
    const QString defaultName = profile.stores.value(profile.defaultStore).name;
    for (const StoreEntry& store : profile.stores) {
        if (std::optional<PlatformError> why = unusableReason(store)) {
            leftOut.append(*why);
            continue;
        }
        if (store.name == defaultName)
            usable.defaultStore = int(usable.stores.size());
        usable.stores.append(store);
    }
    return usable;
}

} // namespace kestrel::platform::maildir
