#include "KeyringPasswordSource.h"

#include "shell/Keyring.h"

namespace kestrel::cli {

std::optional<QString> KeyringPasswordSource::password(const platform::imap::ImapAccount& account,
                                                       const QString& whyAsked)
{
    if (!whyAsked.isEmpty())
        return std::nullopt;
    platform::PlatformError error;
    if (std::optional<QString> kept = m_keyring.read(account.keyringKey(), &error))
        return kept;
    m_problem = error.kind == platform::ErrorKind::NotFound
                    ? QStringLiteral("no password for %1@%2 in the keyring, and the store has "
                                     "no PasswordCommand")
                          .arg(account.user, account.host)
                    : error.text;
    return std::nullopt;
}

} // namespace kestrel::cli
