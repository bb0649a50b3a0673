#pragma once

#include "../MailPlatform.h"
#include "MaildirBackend.h"

#include <memory>

namespace kestrel::platform::maildir {

// The stores that cannot be opened were left out when the namespace was made
// (unusableStores()); the logon fails when none is left, or when a store left
// in has gone since (NotFound, naming the path), and with it folders() and
// openSession(), which log on when not logged on yet.
class MaildirNamespace : public Namespace {
public:
    explicit MaildirNamespace(std::shared_ptr<MaildirBackend> backend);

    bool logon() override;
    void logoff() override;
    std::unique_ptr<FolderCollection> folders() override;
    std::unique_ptr<Session> openSession() override;
    QList<PlatformError> unusableStores() const override;

private:
    std::shared_ptr<MaildirBackend> m_backend;
};

} // namespace kestrel::platform::maildir
