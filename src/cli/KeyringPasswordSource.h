#pragma once

#include "platform/imap/Credentials.h"

#include <QString>

namespace kestrel::shell {
class SecretStore;
}

namespace kestrel::cli {

// Server passwords for a run nobody watches: the keyring's, asked once per
// account; nobody is asked, and a refused password is not tried again. (A
// store's PasswordCommand comes first, before any source.)
class KeyringPasswordSource : public platform::imap::PasswordSource {
public:
    explicit KeyringPasswordSource(shell::SecretStore& keyring) : m_keyring(keyring) {}

    std::optional<QString> password(const platform::imap::ImapAccount& account,
                                    const QString& whyAsked) override;

    // Why the keyring gave none, for the message of a failed logon.
    const QString& lastProblem() const { return m_problem; }

private:
    shell::SecretStore& m_keyring;
    QString m_problem;
};

} // namespace kestrel::cli
