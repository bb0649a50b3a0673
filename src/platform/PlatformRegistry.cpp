#include "PlatformRegistry.h"

namespace kestrel::platform {

std::unique_ptr<Application> createApplication()
{
    return nullptr; // replaced by the Maildir backend
}

} // namespace kestrel::platform
