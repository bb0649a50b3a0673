#include "PlatformRegistry.h"

#include "maildir/MaildirApplication.h"

namespace kestrel::platform {

std::unique_ptr<Application> createApplication()
{
    return maildir::createMaildirApplication();
}

} // namespace kestrel::platform
