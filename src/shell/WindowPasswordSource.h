#pragma once

#include "platform/imap/Credentials.h"

#include <QHash>

namespace kestrel::dialogs {
class DialogRunner;
}

namespace kestrel::shell {

class SecretStore;

// The window's source of server passwords: the keyring first, then the
// password dialog. A password the server accepted is kept in memory for the
// rest of the run, and in the keyring when the user asked for that.
class WindowPasswordSource : public platform::imap::PasswordSource {
public:
    WindowPasswordSource(SecretStore& keyring, dialogs::DialogRunner& dialogs);

    std::optional<QString> password(const platform::imap::ImapAccount& account,
                                    const QString& whyAsked) override;
    void accepted(const platform::imap::ImapAccount& account, const QString& password) override;

private:
    struct Given {
        QString password;
        bool remember = false; // to go into the keyring once the server takes it
    };

    SecretStore& m_keyring;
    dialogs::DialogRunner& m_dialogs;
    QHash<QString, Given> m_given;     // by keyring key: last given, not yet accepted
    QHash<QString, QString> m_session; // by keyring key: accepted in this run
    QString m_keyringProblem;          // why the keyring failed last, shown in the next dialog
};

} // namespace kestrel::shell
