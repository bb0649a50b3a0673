#pragma once

#include "../MailPlatform.h"
#include "ImapBackend.h"

#include <memory>

namespace kestrel::platform::imap {

// The IMAP stores of the profile. Logon connects to each server; a store
// whose server cannot be reached or refuses the login is left out with the
// reason (unusableStores), so that the other stores stay usable.
class ImapNamespace : public Namespace {
public:
    explicit ImapNamespace(std::shared_ptr<ImapBackend> backend);

    bool logon() override;
    void logoff() override;
    std::unique_ptr<FolderCollection> folders() override;
    std::unique_ptr<Session> openSession() override;
    QList<PlatformError> unusableStores() const override;

private:
    std::shared_ptr<ImapBackend> m_backend;
};

class ImapSession : public Session {
public:
    explicit ImapSession(std::shared_ptr<ImapBackend> backend);

    std::unique_ptr<Folder> getFolderFromId(const QString& entryId) override;
    // Answers from the mailbox's last listing without a round trip.
    std::unique_ptr<MailItem> getMessageFromId(const QString& entryId) override;
    std::optional<QString> defaultStoreId() override;
    std::optional<QString> currentUserAddress() override;

private:
    std::shared_ptr<ImapBackend> m_backend;
};

} // namespace kestrel::platform::imap
