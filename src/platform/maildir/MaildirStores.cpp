#include "MaildirStores.h"

#include "../msg/GMimeSupport.h"
#include "MaildirBackend.h"
#include "MaildirNamespace.h"
#include "StoreCheck.h"

namespace kestrel::platform::maildir {

std::unique_ptr<Namespace> openMaildirStores(const MailProfile& stores)
{
    msg::ensureGMime(); // once, before any parsing
    QList<PlatformError> leftOut;
    auto backend = std::make_shared<MaildirBackend>(withUsableStores(stores, leftOut));
    backend->leftOut = leftOut;
    return std::make_unique<MaildirNamespace>(std::move(backend));
}

} // namespace kestrel::platform::maildir
