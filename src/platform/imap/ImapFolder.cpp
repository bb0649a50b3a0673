#include "ImapFolder.h"

#include "../FolderPath.h"
#include "ImapEntryId.h"
#include "ImapFolderTree.h"
#include "ImapItemCollection.h"
#include "ImapMailItem.h"

namespace kestrel::platform::imap {

ImapFolder::ImapFolder(std::shared_ptr<ImapBackend> backend, ImapFolderRef ref)
    : m_backend(std::move(backend)), m_ref(std::move(ref))
{
}

QByteArray ImapFolder::targetMailbox() const
{
    return m_ref.isStoreRoot() ? QByteArray(kInboxMailbox) : m_ref.mailbox;
}

std::optional<QString> ImapFolder::name()
{
    clearError();
    return m_ref.isStoreRoot() ? m_backend->storeName(m_ref.store) : m_ref.names.last();
}

std::optional<QString> ImapFolder::storeId()
{
    clearError();
    return ImapEntryId::forStore(m_backend->storeName(m_ref.store));
}

std::optional<QString> ImapFolder::entryId()
{
    clearError();
    return ImapEntryId::forFolder(m_backend->storeName(m_ref.store), m_ref.mailbox);
}

std::optional<QString> ImapFolder::folderPath()
{
    clearError();
    return FolderPath(m_backend->storeName(m_ref.store), m_ref.names).toString();
}

std::optional<bool> ImapFolder::isStoreRoot()
{
    clearError();
    return m_ref.isStoreRoot();
}

std::optional<int> ImapFolder::defaultItemType()
{
    clearError();
    return MailFolderType;
}

std::unique_ptr<ItemCollection> ImapFolder::items()
{
    clearError();
    return std::make_unique<ImapItemCollection>(m_backend, m_ref);
}

std::unique_ptr<FolderCollection> ImapFolder::folders()
{
    clearError();
    return std::make_unique<ImapFolderCollection>(m_backend, m_ref);
}

std::unique_ptr<MailItem> ImapFolder::addItem()
{
    clearError();
    return ImapMailItem::createUnsaved(m_backend, m_ref.store, targetMailbox());
}

std::unique_ptr<MailItem> ImapFolder::append(const RawMessage& message)
{
    PlatformError error;
    std::unique_ptr<ImapMailItem> stored =
        ImapMailItem::appendTo(m_backend, m_ref.store, targetMailbox(), message, &error);
    if (!stored) {
        setError(error);
        return nullptr;
    }
    clearError();
    return stored;
}

ImapFolderCollection::ImapFolderCollection(std::shared_ptr<ImapBackend> backend)
    : m_backend(std::move(backend))
{
}

ImapFolderCollection::ImapFolderCollection(std::shared_ptr<ImapBackend> backend,
                                           ImapFolderRef parent)
    : m_backend(std::move(backend)), m_parent(std::move(parent))
{
}

const QList<ImapFolderRef>* ImapFolderCollection::refs()
{
    if (m_refs)
        return &*m_refs;
    if (!m_parent) {
        m_refs.emplace();
        for (int i = 0; i < m_backend->storeCount(); ++i)
            m_refs->append(ImapFolderRef::storeRoot(i));
        return &*m_refs;
    }
    PlatformError error;
    m_refs = ImapFolderTree(*m_backend, m_parent->store).children(*m_parent, &error);
    if (!m_refs) {
        setError(error);
        return nullptr;
    }
    return &*m_refs;
}

std::optional<int> ImapFolderCollection::count()
{
    const QList<ImapFolderRef>* all = refs();
    if (!all)
        return std::nullopt;
    clearError();
    return int(all->size());
}

std::unique_ptr<Folder> ImapFolderCollection::item(int position)
{
    const QList<ImapFolderRef>* all = refs();
    if (!all)
        return nullptr;
    if (position < 1 || position > all->size()) {
        setError(ErrorKind::NotFound, QStringLiteral("No folder at this position"),
                 QString::number(position));
        return nullptr;
    }
    clearError();
    return std::make_unique<ImapFolder>(m_backend, all->at(position - 1));
}

std::unique_ptr<Folder> ImapFolderCollection::item(const QString& name)
{
    if (!m_parent) {
        const int store = m_backend->storeIndex(name);
        if (store < 0) {
            setError(ErrorKind::NotFound, QStringLiteral("The folder does not exist"), name);
            return nullptr;
        }
        clearError();
        return std::make_unique<ImapFolder>(m_backend, ImapFolderRef::storeRoot(store));
    }
    PlatformError error;
    const std::optional<ImapFolderRef> found =
        ImapFolderTree(*m_backend, m_parent->store).child(*m_parent, name, &error);
    if (!found) {
        setError(error);
        return nullptr;
    }
    clearError();
    return std::make_unique<ImapFolder>(m_backend, *found);
}

std::unique_ptr<Folder> ImapFolderCollection::add(const QString& name)
{
    if (!m_parent) {
        setError(ErrorKind::Unsupported, QStringLiteral("Stores are added in the mail profile"),
                 name);
        return nullptr;
    }
    PlatformError error;
    const std::optional<ImapFolderRef> created =
        ImapFolderTree(*m_backend, m_parent->store).create(*m_parent, name, &error);
    if (!created) {
        setError(error);
        return nullptr;
    }
    m_refs.reset();
    clearError();
    return std::make_unique<ImapFolder>(m_backend, *created);
}

} // namespace kestrel::platform::imap
