#include "FolderRef.h"

#include "MaildirName.h"

namespace kestrel::platform::maildir {

namespace {
const QLatin1String kInboxDir("INBOX");
}

QString FolderRef::childPrefix() const
{
    if (isStoreRoot())
        return QString(); // ".Name"
    if (isInbox())
        return QStringLiteral(".") + kInboxDir; // ".INBOX.Child"
    return dirName;
}

FolderRef FolderRef::inbox(int store)
{
    return {store, QStringLiteral("."), {QLatin1String(kInboxName)}};
}

std::optional<FolderRef> FolderRef::fromDirName(int store, const QString& dirName)
{
    if (dirName.isEmpty())
        return storeRoot(store);
    if (dirName == QLatin1String("."))
        return inbox(store);
    if (!dirName.startsWith('.') || dirName.contains('/') || dirName == QLatin1String(".."))
        return std::nullopt;
    const QStringList parts = dirName.mid(1).split('.');
    FolderRef ref{store, dirName, {}};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i == 0 && parts[i] == kInboxDir) {
            if (parts.size() == 1)
                return std::nullopt; // ".INBOX" would shadow the Maildir root
            ref.names.append(QLatin1String(kInboxName));
            continue;
        }
        bool canonical = true;
        ref.names.append(folderDisplayName(parts[i], &canonical));
    }
    return ref;
}

} // namespace kestrel::platform::maildir
