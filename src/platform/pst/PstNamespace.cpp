#include "PstNamespace.h"

#include "PstFolder.h"
#include "PstMailItem.h"
#include "PstMessageList.h"

namespace kestrel::platform::pst {

PstNamespace::PstNamespace(std::shared_ptr<PstBackend> backend) : m_backend(std::move(backend)) {}

bool PstNamespace::logon()
{
    m_backend->logon();
    clearError();
    return true;
}

void PstNamespace::logoff()
{
    m_backend->logoff();
    clearError();
}

QList<PlatformError> PstNamespace::unusableStores() const
{
    return m_backend->leftOut;
}

std::unique_ptr<FolderCollection> PstNamespace::folders()
{
    m_backend->logon();
    clearError();
    return std::make_unique<PstFolderCollection>(m_backend);
}

std::unique_ptr<Session> PstNamespace::openSession()
{
    m_backend->logon();
    clearError();
    return std::make_unique<PstSession>(m_backend);
}

PstSession::PstSession(std::shared_ptr<PstBackend> backend) : m_backend(std::move(backend)) {}

std::optional<PstEntryId> PstSession::parse(const QString& entryId, PstEntryId::Kind kind,
                                            int* store)
{
    const std::optional<PstEntryId> id = PstEntryId::parse(entryId);
    if (!id || id->kind != kind) {
        setError(ErrorKind::Invalid, QStringLiteral("Not an identifier of this kind"), entryId);
        return std::nullopt;
    }
    *store = m_backend->storeIndex(id->store);
    if (*store < 0) {
        setError(ErrorKind::NotFound, QStringLiteral("The store is not open"), entryId);
        return std::nullopt;
    }
    return id;
}

std::unique_ptr<Folder> PstSession::getFolderFromId(const QString& entryId)
{
    int store = -1;
    const std::optional<PstEntryId> id = parse(entryId, PstEntryId::Kind::Folder, &store);
    if (!id)
        return nullptr;
    const int node = m_backend->store(store)->tree.find(id->folder);
    if (node < 0) {
        setError(ErrorKind::NotFound, QStringLiteral("The folder does not exist"), entryId);
        return nullptr;
    }
    clearError();
    return std::make_unique<PstFolder>(m_backend, store, node);
}

std::unique_ptr<MailItem> PstSession::getMessageFromId(const QString& entryId)
{
    int store = -1;
    const std::optional<PstEntryId> id = parse(entryId, PstEntryId::Kind::Message, &store);
    if (!id)
        return nullptr;
    PlatformError error;
    const PffItem item = m_backend->item(store, id->message, &error);
    if (!item) {
        setError(error);
        return nullptr;
    }
    auto summary = std::make_shared<PstMessageSummary>();
    summary->id = id->message;
    summary->bag = readProperties(item.get(), PropertyFilter::SmallOnly);
    clearError();
    return std::make_unique<PstMailItem>(m_backend, store, id->folder, std::move(summary));
}

std::optional<QString> PstSession::defaultStoreId()
{
    const int index = m_backend->profile().defaultStore;
    if (index < 0 || index >= m_backend->profile().stores.size()) {
        setError(ErrorKind::NotFound,
                 QStringLiteral("The default store is not an Outlook data file"));
        return std::nullopt;
    }
    clearError();
    return PstEntryId{PstEntryId::Kind::Store, m_backend->profile().stores.at(index).name, 0, 0}
        .toString();
}

std::optional<QString> PstSession::currentUserAddress()
{
    clearError();
    return m_backend->profile().userAddress;
}

} // namespace kestrel::platform::pst
