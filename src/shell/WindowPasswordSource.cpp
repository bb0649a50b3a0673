#include "WindowPasswordSource.h"

#include "Keyring.h"
#include "dialogs/DialogRunner.h"
#include "frmPassword.h"

#include <QApplication>
#include <QThread>

namespace kestrel::shell {

using platform::ErrorKind;
using platform::PlatformError;
using platform::imap::ImapAccount;

WindowPasswordSource::WindowPasswordSource(SecretStore& keyring, dialogs::DialogRunner& dialogs)
    : m_keyring(keyring), m_dialogs(dialogs)
{
}

std::optional<QString> WindowPasswordSource::password(const ImapAccount& account,
                                                      const QString& whyAsked)
{
    const QString key = account.keyringKey();
    if (whyAsked.isEmpty()) {
        if (const auto known = m_session.constFind(key); known != m_session.cend())
            return *known;
        PlatformError error;
        if (const std::optional<QString> kept = m_keyring.read(key, &error)) {
            // Already there: nothing to write back once accepted.
            m_given.insert(key, {*kept, false});
            return kept;
        }
        m_keyringProblem = error.kind == ErrorKind::NotFound ? QString() : error.text;
    } else {
        // A refused password is not offered again, from memory or keyring.
        m_session.remove(key);
    }

    // A server asked from another thread (a connection test) gets no dialog:
    // widgets live in the window's thread alone.
    if (QThread::currentThread() != QApplication::instance()->thread())
        return std::nullopt;
    frmPassword dialog(QStringLiteral("%1@%2").arg(account.user, account.host),
                       whyAsked.isEmpty() ? m_keyringProblem : whyAsked,
                       QApplication::activeWindow());
    // A runner that answers by itself has not pressed Okay: no password then.
    if (m_dialogs.run(dialog) != QDialog::Accepted || dialog.result() != QDialog::Accepted) {
        m_given.remove(key);
        return std::nullopt;
    }
    m_given.insert(key, {dialog.password(), dialog.remember()});
    return dialog.password();
}

void WindowPasswordSource::accepted(const ImapAccount& account, const QString& password)
{
    const QString key = account.keyringKey();
    m_session.insert(key, password);
    const Given given = m_given.take(key);
    if (!given.remember || given.password != password)
        return;
    PlatformError error;
    m_keyringProblem = m_keyring.write(key, password, &error) ? QString() : error.text;
}

} // namespace kestrel::shell
