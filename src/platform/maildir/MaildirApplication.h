#pragma once

#include "../MailPlatform.h"
#include "MailProfile.h"

namespace kestrel::platform::maildir {

class MaildirApplication : public Application {
public:
    explicit MaildirApplication(MailProfile profile);

    std::unique_ptr<Namespace> getNamespace(const QString& type) override; // "MAPI"
    void quit() override;

private:
    MailProfile m_profile;
};

// The application over the profile at MailProfile::location(); nullptr, with
// the reason on stderr, when there is no usable profile.
std::unique_ptr<Application> createMaildirApplication();

} // namespace kestrel::platform::maildir
