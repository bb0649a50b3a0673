#include "PstFolder.h"

#include "../FolderPath.h"
#include "PstEntryId.h"
#include "PstItemCollection.h"

namespace kestrel::platform::pst {

PlatformError readOnlyRefusal()
{
    return {ErrorKind::AccessDenied,
            -1,
            QStringLiteral("An Outlook data file can only be read: its items can be copied, "
                           "not moved, deleted or added to"),
            {}};
}

namespace {

PlatformError closedStore()
{
    return {ErrorKind::NotFound, -1, QStringLiteral("The Outlook data file is closed"), {}};
}

} // namespace

PstFolder::PstFolder(std::shared_ptr<PstBackend> backend, int store, int node)
    : m_backend(std::move(backend)), m_store(store), m_node(node)
{
}

const PstFolderNode* PstFolder::node()
{
    PstStore* store = m_backend->store(m_store);
    if (!store || m_node >= store->tree.size()) {
        setError(closedStore());
        return nullptr;
    }
    clearError();
    return &store->tree.node(m_node);
}

std::optional<QString> PstFolder::name()
{
    const PstFolderNode* n = node();
    if (!n)
        return std::nullopt;
    return m_node == 0 ? m_backend->store(m_store)->name : n->name;
}

std::optional<QString> PstFolder::storeId()
{
    if (!node())
        return std::nullopt;
    return PstEntryId{PstEntryId::Kind::Store, m_backend->store(m_store)->name, 0, 0}.toString();
}

std::optional<QString> PstFolder::entryId()
{
    const PstFolderNode* n = node();
    if (!n)
        return std::nullopt;
    return PstEntryId{PstEntryId::Kind::Folder, m_backend->store(m_store)->name, n->id, 0}
        .toString();
}

std::optional<QString> PstFolder::folderPath()
{
    if (!node())
        return std::nullopt;
    const PstStore* store = m_backend->store(m_store);
    return FolderPath(store->name, store->tree.namesOf(m_node)).toString();
}

std::optional<bool> PstFolder::isStoreRoot()
{
    if (!node())
        return std::nullopt;
    return m_node == 0;
}

std::optional<int> PstFolder::defaultItemType()
{
    const PstFolderNode* n = node();
    if (!n)
        return std::nullopt;
    return m_node == 0 ? int(MailFolderType) : n->itemType;
}

std::unique_ptr<ItemCollection> PstFolder::items()
{
    const PstFolderNode* n = node();
    if (!n)
        return nullptr;
    return std::make_unique<PstItemCollection>(m_backend, m_store, n->id);
}

std::unique_ptr<FolderCollection> PstFolder::folders()
{
    if (!node())
        return nullptr;
    return std::make_unique<PstFolderCollection>(m_backend, m_store, m_node);
}

std::unique_ptr<MailItem> PstFolder::addItem()
{
    setError(readOnlyRefusal());
    return nullptr;
}

std::unique_ptr<MailItem> PstFolder::append(const RawMessage&)
{
    setError(readOnlyRefusal());
    return nullptr;
}

PstFolderCollection::PstFolderCollection(std::shared_ptr<PstBackend> backend)
    : m_backend(std::move(backend))
{
}

PstFolderCollection::PstFolderCollection(std::shared_ptr<PstBackend> backend, int store, int parent)
    : m_backend(std::move(backend)), m_store(store), m_parent(parent)
{
}

const QList<int>* PstFolderCollection::children()
{
    PstStore* store = m_backend->store(m_store);
    if (!store || m_parent >= store->tree.size()) {
        setError(closedStore());
        return nullptr;
    }
    return &store->tree.node(m_parent).children;
}

std::optional<int> PstFolderCollection::count()
{
    if (m_store < 0) {
        clearError();
        return m_backend->storeCount();
    }
    const QList<int>* all = children();
    if (!all)
        return std::nullopt;
    clearError();
    return int(all->size());
}

std::unique_ptr<Folder> PstFolderCollection::item(int position)
{
    const std::optional<int> total = count();
    if (!total)
        return nullptr;
    if (position < 1 || position > *total) {
        setError(ErrorKind::NotFound, QStringLiteral("No folder at this position"),
                 QString::number(position));
        return nullptr;
    }
    clearError();
    if (m_store < 0)
        return std::make_unique<PstFolder>(m_backend, position - 1, 0);
    return std::make_unique<PstFolder>(m_backend, m_store, children()->at(position - 1));
}

std::unique_ptr<Folder> PstFolderCollection::item(const QString& name)
{
    if (m_store < 0) {
        const int store = m_backend->storeIndex(name);
        if (store < 0) {
            setError(ErrorKind::NotFound, QStringLiteral("The folder does not exist"), name);
            return nullptr;
        }
        clearError();
        return std::make_unique<PstFolder>(m_backend, store, 0);
    }
    if (!children())
        return nullptr;
    const int index = m_backend->store(m_store)->tree.child(m_parent, name);
    if (index < 0) {
        setError(ErrorKind::NotFound, QStringLiteral("The folder does not exist"), name);
        return nullptr;
    }
    clearError();
    return std::make_unique<PstFolder>(m_backend, m_store, index);
}

std::unique_ptr<Folder> PstFolderCollection::add(const QString&)
{
    setError(readOnlyRefusal());
    return nullptr;
}

} // namespace kestrel::platform::pst
