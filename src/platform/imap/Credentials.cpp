#include "Credentials.h"

namespace kestrel::platform::imap {

namespace {
PasswordSource* g_source = nullptr;
}

void setPasswordSource(PasswordSource* source)
{
    g_source = source;
}

PasswordSource* passwordSource()
{
    return g_source;
}

std::optional<QString> runPasswordCommand(const QString&, PlatformError* error)
{
    if (error)
        *error = {ErrorKind::Unsupported, -1, QStringLiteral("Not built yet"), {}};
    return std::nullopt;
}

std::optional<QString> findPassword(const ImapAccount& account, const QString& whyAsked,
                                    PlatformError* error)
{
    if (!account.passwordCommand.isEmpty())
        return runPasswordCommand(account.passwordCommand, error);
    if (g_source)
        return g_source->password(account, whyAsked);
    if (error)
        *error = {ErrorKind::AccessDenied,
                  -1,
                  QStringLiteral("No password for %1").arg(account.keyringKey()),
                  {}};
    return std::nullopt;
}

} // namespace kestrel::platform::imap
