#include "MaildirSession.h"

#include "EntryId.h"
#include "FolderTree.h"
#include "MaildirFolder.h"
#include "MaildirMailItem.h"

namespace kestrel::platform::maildir {

MaildirSession::MaildirSession(std::shared_ptr<MaildirBackend> backend)
    : m_backend(std::move(backend))
{
}

std::optional<EntryId> MaildirSession::parseId(const QString& entryId, EntryId::Kind kind,
                                               std::optional<FolderRef>* folder)
{
    std::optional<EntryId> id = EntryId::parse(entryId);
    if (!id || id->kind != kind) {
        setError(ErrorKind::Invalid, QStringLiteral("Not an identifier of this kind"), entryId);
        return std::nullopt;
    }
    const int store = m_backend->storeIndexForPath(id->storePath);
    *folder = store < 0 ? std::nullopt : FolderRef::fromDirName(store, id->dirName);
    return id;
}

std::unique_ptr<Folder> MaildirSession::getFolderFromId(const QString& entryId)
{
    std::optional<FolderRef> ref;
    if (!parseId(entryId, EntryId::Kind::Folder, &ref))
        return nullptr;
    if (!ref || !FolderTree(*m_backend).exists(*ref)) {
        setError(ErrorKind::NotFound, QStringLiteral("The folder does not exist"), entryId);
        return nullptr;
    }
    clearError();
    return std::make_unique<MaildirFolder>(m_backend, *ref);
}

std::unique_ptr<MailItem> MaildirSession::getMessageFromId(const QString& entryId)
{
    std::optional<FolderRef> ref;
    std::optional<MessageEntry> entry;
    if (std::optional<MaildirBackend::IdHint> hint = m_backend->takeIdHint(entryId);
        hint && !hint->folder.isStoreRoot()) {
        ref = std::move(hint->folder);
        entry = m_backend->locate(m_backend->folderDir(*ref), hint->unique, &hint->entry);
    } else {
        const std::optional<EntryId> id = parseId(entryId, EntryId::Kind::Message, &ref);
        if (!id)
            return nullptr;
        if (ref && !ref->isStoreRoot())
            entry = m_backend->locate(m_backend->folderDir(*ref), id->unique);
    }
    if (!entry) {
        setError(ErrorKind::NotFound, QStringLiteral("The message does not exist"), entryId);
        return nullptr;
    }
    // locate has just seen the file: the item need not look for it again.
    auto item = std::make_unique<MaildirMailItem>(m_backend, *ref, *entry, true);
    if (!item->lastError().ok()) {
        setError(item->lastError());
        return nullptr;
    }
    clearError();
    return item;
}

std::optional<QString> MaildirSession::defaultStoreId()
{
    clearError();
    return EntryId::forStore(m_backend->store(m_backend->profile().defaultStore).path);
}

std::optional<QString> MaildirSession::currentUserAddress()
{
    clearError();
    return m_backend->profile().userAddress;
}

} // namespace kestrel::platform::maildir
