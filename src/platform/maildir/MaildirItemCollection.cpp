#include "MaildirItemCollection.h"

#include "DateFilter.h"
#include "MaildirMailItem.h"
#include "MessageFile.h"

namespace kestrel::platform::maildir {

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
        m_entries = m_backend->scan(m_dir);
    return *m_entries;
}

std::unique_ptr<ItemCollection> MaildirItemCollection::restrict(const QString& filter)
{
    QString problem;
    const std::optional<DateFilter> parsed = DateFilter::parse(filter, &problem);
    if (!parsed) {
        setError(ErrorKind::Invalid, QStringLiteral("The filter cannot be parsed"), problem);
        return nullptr;
    }
    QList<MessageEntry> matching;
    for (const MessageEntry& entry : entries()) {
        MessageFile file(m_dir, entry);
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
    clearError();
    return entries().size();
}

std::unique_ptr<MailItem> MaildirItemCollection::item(qint64 index)
{
    const QList<MessageEntry>& all = entries();
    if (index < 1 || index > all.size()) {
        setError(ErrorKind::NotFound, QStringLiteral("No item at this position"),
                 QString::number(index));
        return nullptr;
    }
    auto item = std::make_unique<MaildirMailItem>(m_backend, m_folder, all.at(index - 1));
    if (!item->lastError().ok()) {
        setError(item->lastError());
        return nullptr;
    }
    clearError();
    return item;
}

} // namespace kestrel::platform::maildir
