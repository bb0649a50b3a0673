#include "ImapStores.h"

#include "ImapAccount.h"

namespace kestrel::platform::imap {

// Placeholder until the server backend lands: every logon fails with why.
namespace {

class UnavailableNamespace : public Namespace {
public:
    bool logon() override
    {
        setError(ErrorKind::Unsupported, QStringLiteral("IMAP stores are not supported yet"));
        return false;
    }
    void logoff() override {}
    std::unique_ptr<FolderCollection> folders() override { return nullptr; }
    std::unique_ptr<Session> openSession() override { return nullptr; }
};

} // namespace

std::unique_ptr<Namespace> openImapStores(const MailProfile&)
{
    return std::make_unique<UnavailableNamespace>();
}

ConnectionTest testConnection(const ImapAccount&, const QString&)
{
    ConnectionTest result;
    result.error = {ErrorKind::Unsupported, -1, QStringLiteral("IMAP is not supported yet"), {}};
    return result;
}

std::optional<ImapAccount> ImapAccount::fromStore(const StoreEntry&, PlatformError* error)
{
    if (error)
        *error = {ErrorKind::Unsupported, -1, QStringLiteral("IMAP is not supported yet"), {}};
    return std::nullopt;
}

QMap<QString, QString> ImapAccount::toSettings() const
{
    return {};
}

QString ImapAccount::keyringKey() const
{
    return QStringLiteral("imap://%1@%2:%3").arg(user, host).arg(port);
}

} // namespace kestrel::platform::imap
