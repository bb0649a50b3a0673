#pragma once

// The application over a mail profile: each store is opened by the backend
// its type names. When every store has one type, that backend's namespace is
// handed out as it is; otherwise a namespace joins one per backend, listing
// the stores in profile order.

#include "MailPlatform.h"
#include "MailProfile.h"
#include "PlatformRegistry.h"

namespace kestrel::platform {

class ProfileApplication : public Application {
public:
    // refusal: why the profile cannot be used; every logon then fails with it.
    ProfileApplication(MailProfile profile, BackendRegistry backends, PlatformError refusal = {});

    std::unique_ptr<Namespace> getNamespace(const QString& type) override; // "MAPI"
    void quit() override;

private:
    MailProfile m_profile;
    BackendRegistry m_backends;
    PlatformError m_refusal;
};

} // namespace kestrel::platform
