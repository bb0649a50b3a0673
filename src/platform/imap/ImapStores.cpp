#include "ImapStores.h"

#include "../msg/GMimeSupport.h"
#include "ImapAccount.h"
#include "ImapBackend.h"
#include "ImapCommands.h"
#include "ImapConnection.h"
#include "ImapFolderTree.h"
#include "ImapNamespace.h"

namespace kestrel::platform::imap {

std::unique_ptr<Namespace> openImapStores(const MailProfile& stores)
{
    msg::ensureGMime(); // once, before any parsing
    return std::make_unique<ImapNamespace>(std::make_shared<ImapBackend>(stores));
}

ConnectionTest testConnection(const ImapAccount& account, const QString& password)
{
    ConnectionTest result;
    ImapConnection connection(account, password);
    QList<MailboxInfo> listed;
    connection.run([&](mailimap* session) { return listMailboxes(session, listed); },
                   ImapConnection::Retry::Never, QStringLiteral("Listing the folders"),
                   &result.error);
    result.certificateFingerprint = connection.certificateFingerprint();
    result.certificateRefused = connection.certificateRefused();
    if (result.error.ok()) {
        for (const MailboxInfo& info : listed)
            result.folders.append(namesOfMailbox(info.name, info.delimiter).join('/'));
    }
    connection.close();
    return result;
}

} // namespace kestrel::platform::imap
