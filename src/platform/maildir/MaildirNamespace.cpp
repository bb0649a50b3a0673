#include "MaildirNamespace.h"

#include "MaildirFolderCollection.h"
#include "MaildirSession.h"

#include <QFileInfo>

namespace kestrel::platform::maildir {

MaildirNamespace::MaildirNamespace(std::shared_ptr<MaildirBackend> backend)
    : m_backend(std::move(backend))
{
}

bool MaildirNamespace::logon()
{
    if (m_backend->storeCount() == 0) {
        m_backend->loggedOn = false;
        setError(ErrorKind::NotFound, QStringLiteral("No store of the mail profile can be used"));
        return false;
    }
    for (int i = 0; i < m_backend->storeCount(); ++i) {
        const StoreEntry& store = m_backend->store(i);
        if (!QFileInfo(store.path).isDir()) {
            m_backend->loggedOn = false;
            setError(ErrorKind::NotFound,
                     QStringLiteral("The store \"%1\" does not exist").arg(store.name), store.path);
            return false;
        }
    }
    m_backend->loggedOn = true;
    clearError();
    return true;
}

void MaildirNamespace::logoff()
{
    m_backend->loggedOn = false;
    clearError();
}

QList<PlatformError> MaildirNamespace::unusableStores() const
{
    return m_backend->leftOut;
}

std::unique_ptr<FolderCollection> MaildirNamespace::folders()
{
    if (!m_backend->loggedOn && !logon())
        return nullptr;
    clearError();
    return std::make_unique<MaildirFolderCollection>(m_backend);
}

std::unique_ptr<Session> MaildirNamespace::openSession()
{
    if (!m_backend->loggedOn && !logon())
        return nullptr;
    clearError();
    return std::make_unique<MaildirSession>(m_backend);
}

} // namespace kestrel::platform::maildir
