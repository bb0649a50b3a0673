#pragma once

#include "../MailPlatform.h"
#include "MaildirBackend.h"

#include <memory>

namespace kestrel::platform::maildir {

// The logon checks that every store of the profile is a directory: a store
// path that does not exist fails the logon (NotFound, naming the path), and
// with it folders() and openSession(), which log on when not logged on yet.
class MaildirNamespace : public Namespace {
public:
    explicit MaildirNamespace(std::shared_ptr<MaildirBackend> backend);

    bool logon() override;
    void logoff() override;
    std::unique_ptr<FolderCollection> folders() override;
    std::unique_ptr<Session> openSession() override;

private:
    std::shared_ptr<MaildirBackend> m_backend;
};

} // namespace kestrel::platform::maildir
