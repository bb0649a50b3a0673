#pragma once

#include "../MailPlatform.h"
#include "MailProfile.h"

namespace kestrel::platform::maildir {

class MaildirApplication : public Application {
public:
    // refusal: why the profile cannot be used; every logon then fails with it.
    explicit MaildirApplication(MailProfile profile, PlatformError refusal = {});

    std::unique_ptr<Namespace> getNamespace(const QString& type) override; // "MAPI"
    void quit() override;

private:
    MailProfile m_profile;
    PlatformError m_refusal;
};

// The application over the profile at MailProfile::location(); nullptr, with
// the reason on stderr, when there is no profile. An unusable profile gives an
// application whose logon fails with the reason.
std::unique_ptr<Application> createMaildirApplication();

} // namespace kestrel::platform::maildir
