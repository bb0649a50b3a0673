#include "PstStores.h"

#include "../msg/GMimeSupport.h"
#include "PstNamespace.h"

namespace kestrel::platform::pst {

std::unique_ptr<Namespace> openPstStores(const MailProfile& stores)
{
    msg::ensureGMime(); // once, before any message is converted
    return std::make_unique<PstNamespace>(std::make_shared<PstBackend>(stores));
}

} // namespace kestrel::platform::pst
