#pragma once

#include "../MailPlatform.h"
#include "EntryId.h"
#include "FolderRef.h"
#include "MaildirBackend.h"

#include <memory>

namespace kestrel::platform::maildir {

// Objects by identifier, the default store and the profile user.
class MaildirSession : public Session {
public:
    explicit MaildirSession(std::shared_ptr<MaildirBackend> backend);

    std::unique_ptr<Folder> getFolderFromId(const QString& entryId) override;
    std::unique_ptr<MailItem> getMessageFromId(const QString& entryId) override;
    std::optional<QString> defaultStoreId() override;
    std::optional<QString> currentUserAddress() override;

private:
    // The identifier and its folder (nothing when no such store or directory name).
    std::optional<EntryId> parseId(const QString& entryId, EntryId::Kind kind,
                                   std::optional<FolderRef>* folder);

    std::shared_ptr<MaildirBackend> m_backend;
};

} // namespace kestrel::platform::maildir
