// The backends this program is built with, by the names a store's Type= gives.

#include "platform/PlatformRegistry.h"
#include "platform/imap/ImapStores.h"
#include "platform/maildir/MaildirStores.h"
#include "platform/pst/PstStores.h"

namespace kestrel::platform {

const BackendRegistry& installedBackends()
{
    static const BackendRegistry registry = [] {
        BackendRegistry backends;
        backends.add(QStringLiteral("maildir"), maildir::openMaildirStores);
        backends.add(QStringLiteral("imap"), imap::openImapStores);
        backends.add(QStringLiteral("pst"), pst::openPstStores);
        return backends;
    }();
    return registry;
}

} // namespace kestrel::platform
