#pragma once

#include "../MailPlatform.h"
#include "PstBackend.h"
#include "PstEntryId.h"

#include <memory>

namespace kestrel::platform::pst {

// The Outlook data files of the profile. Logon opens each file; one that is
// missing, damaged, protected by a password or being written by another
// program is left out with the reason (unusableStores), the others stay usable.
class PstNamespace : public Namespace {
public:
    explicit PstNamespace(std::shared_ptr<PstBackend> backend);

    bool logon() override;
    void logoff() override;
    std::unique_ptr<FolderCollection> folders() override;
    std::unique_ptr<Session> openSession() override;
    QList<PlatformError> unusableStores() const override;

private:
    std::shared_ptr<PstBackend> m_backend;
};

class PstSession : public Session {
public:
    explicit PstSession(std::shared_ptr<PstBackend> backend);

    std::unique_ptr<Folder> getFolderFromId(const QString& entryId) override;
    std::unique_ptr<MailItem> getMessageFromId(const QString& entryId) override;
    std::optional<QString> defaultStoreId() override;
    std::optional<QString> currentUserAddress() override;

private:
    std::optional<PstEntryId> parse(const QString& entryId, PstEntryId::Kind kind, int* store);

    std::shared_ptr<PstBackend> m_backend;
};

} // namespace kestrel::platform::pst
