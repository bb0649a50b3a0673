#pragma once

// Secrets kept out of every file of ours: the desktop's keyring (the Secret
// Service, KWallet), reached through QtKeychain.

#include "platform/PlatformError.h"

#include <QString>

#include <optional>

namespace kestrel::shell {

class SecretStore {
public:
    virtual ~SecretStore() = default;
    // The secret kept under key. Fails with NotFound when none is kept, with
    // another kind when the keyring cannot be reached or refuses.
    virtual std::optional<QString> read(const QString& key, platform::PlatformError* error) = 0;
    virtual bool write(const QString& key, const QString& secret,
                       platform::PlatformError* error) = 0;
};

// The system keyring under the product's name. Each call waits for the
// keyring's answer, at most timeoutMs: a keyring that does not answer is one
// the caller goes on without. A missing service fails at once; the wait is
// long enough for the user to unlock a locked keyring at its prompt. Never
// falls back to a file.
class SystemKeyring : public SecretStore {
public:
    explicit SystemKeyring(int timeoutMs = 60000) : m_timeoutMs(timeoutMs) {}

    std::optional<QString> read(const QString& key, platform::PlatformError* error) override;
    bool write(const QString& key, const QString& secret, platform::PlatformError* error) override;

private:
    int m_timeoutMs;
};

} // namespace kestrel::shell
