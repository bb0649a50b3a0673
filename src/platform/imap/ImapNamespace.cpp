#include "ImapNamespace.h"

#include "ImapEntryId.h"
#include "ImapFolder.h"
#include "ImapFolderTree.h"
#include "ImapMailItem.h"

namespace kestrel::platform::imap {

ImapNamespace::ImapNamespace(std::shared_ptr<ImapBackend> backend) : m_backend(std::move(backend))
{
}

bool ImapNamespace::logon()
{
    m_backend->logon();
    clearError();
    return true;
}

void ImapNamespace::logoff()
{
    m_backend->logoff();
    clearError();
}

QList<PlatformError> ImapNamespace::unusableStores() const
{
    return m_backend->leftOut;
}

std::unique_ptr<FolderCollection> ImapNamespace::folders()
{
    if (!m_backend->loggedOn)
        logon();
    clearError();
    return std::make_unique<ImapFolderCollection>(m_backend);
}

std::unique_ptr<Session> ImapNamespace::openSession()
{
    if (!m_backend->loggedOn)
        logon();
    clearError();
    return std::make_unique<ImapSession>(m_backend);
}

ImapSession::ImapSession(std::shared_ptr<ImapBackend> backend) : m_backend(std::move(backend)) {}

std::unique_ptr<Folder> ImapSession::getFolderFromId(const QString& entryId)
{
    const std::optional<ImapEntryId> id = ImapEntryId::parse(entryId);
    if (!id || id->kind != ImapEntryId::Kind::Folder) {
        setError(ErrorKind::Invalid, QStringLiteral("Not an identifier of this kind"), entryId);
        return nullptr;
    }
    const int store = m_backend->storeIndex(id->store);
    if (store < 0) {
        setError(ErrorKind::NotFound, QStringLiteral("The folder does not exist"), entryId);
        return nullptr;
    }
    PlatformError error;
    const std::optional<ImapFolderRef> ref =
        ImapFolderTree(*m_backend, store).find(id->mailbox, &error);
    if (!ref) {
        setError(error);
        return nullptr;
    }
    clearError();
    return std::make_unique<ImapFolder>(m_backend, *ref);
}

std::unique_ptr<MailItem> ImapSession::getMessageFromId(const QString& entryId)
{
    const std::optional<ImapEntryId> id = ImapEntryId::parse(entryId);
    if (!id || id->kind != ImapEntryId::Kind::Message) {
        setError(ErrorKind::Invalid, QStringLiteral("Not an identifier of this kind"), entryId);
        return nullptr;
    }
    const int store = m_backend->storeIndex(id->store);
    if (store < 0) {
        setError(ErrorKind::NotFound, QStringLiteral("The message does not exist"), entryId);
        return nullptr;
    }
    PlatformError error;
    std::optional<MessageSummary> summary =
        m_backend->summary(store, id->mailbox, id->validity, id->uid, &error);
    if (!summary) {
        setError(error);
        return nullptr;
    }
    clearError();
    return std::make_unique<ImapMailItem>(m_backend, store, id->mailbox, id->validity,
                                          std::move(*summary));
}

std::optional<QString> ImapSession::defaultStoreId()
{
    const int index = m_backend->profile().defaultStore;
    if (index < 0 || index >= m_backend->profile().stores.size()) {
        setError(ErrorKind::NotFound, QStringLiteral("The default store is not an IMAP store"));
        return std::nullopt;
    }
    clearError();
    return ImapEntryId::forStore(m_backend->profile().stores.at(index).name);
}

std::optional<QString> ImapSession::currentUserAddress()
{
    clearError();
    return m_backend->profile().userAddress;
}

} // namespace kestrel::platform::imap
