#include "MaildirItemCollection.h"

#include "../DateRestriction.h"
#include "MaildirMailItem.h"
#include "MessageFile.h"
#include "NativeName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

struct DirectoryHandle {
    explicit DirectoryHandle(const QString& path)
        : fd(::open(nativePath(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~DirectoryHandle()
    {
        if (fd >= 0)
            ::close(fd);
    }
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    const int fd;
};

} // namespace

MaildirItemCollection::MaildirItemCollection(std::shared_ptr<MaildirBackend> backend,
                                             FolderRef folder)
    : m_backend(std::move(backend)), m_folder(std::move(folder)),
      m_dir(m_backend->folderDir(m_folder))
{
    if (m_folder.isStoreRoot())
        m_entries.emplace(); // the store root holds no items
}

MaildirItemCollection::MaildirItemCollection(std::shared_ptr<MaildirBackend> backend,
                                             FolderRef folder, QList<MessageEntry> entries)
    : m_backend(std::move(backend)), m_folder(std::move(folder)),
      m_dir(m_backend->folderDir(m_folder)), m_entries(std::move(entries))
{
}

const QList<MessageEntry>& MaildirItemCollection::entries()
{
    if (!m_entries)
        m_entries = m_backend->scan(m_dir, &m_listError);
    return *m_entries;
}

std::unique_ptr<ItemCollection> MaildirItemCollection::restrict(const QString& filter)
{
    QString problem;
    const std::optional<DateRestriction> parsed = DateRestriction::parse(filter, &problem);
    if (!parsed) {
        setError(ErrorKind::Invalid, QStringLiteral("The filter cannot be parsed"), problem);
        return nullptr;
    }
    const QList<MessageEntry>& all = entries();
    if (!m_listError.ok()) {
        setError(m_listError);
        return nullptr;
    }
    QList<MessageEntry> matching;
    // stat relative to the open cur/ and new/: a folder of 100,000 messages
    // would otherwise walk the whole path 100,000 times.
    const DirectoryHandle cur(m_dir + QLatin1String("/cur"));
    const DirectoryHandle fresh(m_dir + QLatin1String("/new"));
    for (const MessageEntry& entry : all) {
        MessageFile file(m_dir, entry);
        struct stat st {};
        const int dirFd = entry.inNew ? fresh.fd : cur.fd;
        if (dirFd >= 0 && ::fstatat(dirFd, nativePath(entry.fileName).constData(), &st,
                                    AT_SYMLINK_NOFOLLOW) == 0) {
            if (!S_ISREG(st.st_mode)) {
                // A link or special file: never opened, but kept, so that
                // taking it as an item fails and is counted.
                matching.append(entry);
                continue;
            }
            file.setStat(st);
        }
        const bool match = parsed->matches([&](DateProperty property) -> std::optional<qint64> {
            switch (property) {
            case DateProperty::ReceivedTime:
                return file.receivedMsecs(nullptr);
            case DateProperty::SentOn:
                return file.sentOnMsecs(nullptr);
            case DateProperty::LastModificationTime:
                return file.lastModifiedMsecs(nullptr);
            case DateProperty::CreationTime:
                return file.creationMsecs(nullptr);
            }
            return std::nullopt;
        });
        if (match)
            matching.append(entry);
    }
    clearError();
    return std::make_unique<MaildirItemCollection>(m_backend, m_folder, std::move(matching));
}

std::optional<qint64> MaildirItemCollection::count()
{
    const qint64 size = entries().size();
    if (!m_listError.ok()) {
        setError(m_listError);
        return std::nullopt;
    }
    clearError();
    return size;
}

std::unique_ptr<MailItem> MaildirItemCollection::item(qint64 index)
{
    const QList<MessageEntry>& all = entries();
    if (!m_listError.ok()) {
        setError(m_listError);
        return nullptr;
    }
    if (index < 1 || index > all.size()) {
        setError(ErrorKind::NotFound, QStringLiteral("No item at this position"),
                 QString::number(index));
        return nullptr;
    }
    auto item = std::make_unique<MaildirMailItem>(m_backend, m_folder, all.at(index - 1), true);
    if (!item->lastError().ok()) {
        setError(item->lastError());
        return nullptr;
    }
    clearError();
    return item;
}

} // namespace kestrel::platform::maildir
