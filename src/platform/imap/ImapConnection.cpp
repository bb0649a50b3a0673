#include "ImapConnection.h"

#include "CertificateCheck.h"
#include "Credentials.h"

#include <csignal>
#include <cstring>
#include <libetpan/libetpan.h>
#include <mutex>

namespace kestrel::platform::imap {

namespace {

// Long enough for a slow server to commit a large command, short enough that
// a server that stopped answering does not hold the window for long.
constexpr time_t kTimeoutSeconds = 60;

void setServerName(struct mailstream_ssl_context* context, void* data)
{
    mailstream_ssl_set_server_name(context, static_cast<char*>(data));
}

bool greeted(int code)
{
    return code == MAILIMAP_NO_ERROR || code == MAILIMAP_NO_ERROR_AUTHENTICATED ||
           code == MAILIMAP_NO_ERROR_NON_AUTHENTICATED;
}

} // namespace

bool isConnectionFailure(int code)
{
    return code == MAILIMAP_ERROR_STREAM || code == MAILIMAP_ERROR_PARSE ||
           code == MAILIMAP_ERROR_FATAL || code == MAILIMAP_ERROR_BAD_STATE ||
           code == MAILIMAP_ERROR_CONNECTION_REFUSED || code == MAILIMAP_ERROR_SSL;
}

ImapConnection::ImapConnection(ImapAccount account, std::optional<QString> password)
    : m_account(std::move(account)), m_password(std::move(password)),
      m_mayAsk(!m_password.has_value())
{
    // A write to a socket the server closed must come back as an error, not
    // end the program.
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

ImapConnection::~ImapConnection()
{
    close();
}

QString ImapConnection::serverWords() const
{
    if (!m_session || !m_session->imap_response)
        return {};
    return QString::fromUtf8(m_session->imap_response).trimmed();
}

PlatformError ImapConnection::errorOf(int code, const QString& what) const
{
    const QString server = QStringLiteral("%1:%2").arg(m_account.host).arg(m_account.port);
    if (isConnectionFailure(code)) {
        const QString words = serverWords();
        return {ErrorKind::Io, code,
                QStringLiteral("%1 failed: the connection to %2 was lost%3")
                    .arg(what, server, words.isEmpty() ? QString() : ": " + words),
                server};
    }
    const QString words = serverWords();
    return {code == MAILIMAP_ERROR_LOGIN ? ErrorKind::AccessDenied : ErrorKind::Io, code,
            QStringLiteral("%1 was refused by %2: %3")
                .arg(what, server, words.isEmpty() ? QStringLiteral("no reason given") : words),
            server};
}

void ImapConnection::drop()
{
    if (m_session) {
        mailimap_free(m_session);
        m_session = nullptr;
    }
    forgetSelection();
}

void ImapConnection::close()
{
    if (m_session && m_session->imap_stream)
        mailimap_logout(m_session);
    drop();
}

void ImapConnection::forgetSelection()
{
    m_selected.clear();
    m_selectedValidity = 0;
}

bool ImapConnection::hasCapability(const char* name) const
{
    return m_session && mailimap_has_extension(m_session, name);
}

bool ImapConnection::checkCertificate(PlatformError* error)
{
    QList<QByteArray> chain;
    if (carray* certs = mailstream_get_certificate_chain(m_session->imap_stream)) {
        for (unsigned i = 0; i < carray_count(certs); ++i) {
            const auto* der = static_cast<MMAPString*>(carray_get(certs, i));
            chain.append(QByteArray(der->str, qsizetype(der->len)));
        }
        mailstream_certificate_chain_free(certs);
    }
    if (!chain.isEmpty())
        m_fingerprint = imap::certificateFingerprint(chain.first());
    const PlatformError refused =
        imap::checkCertificate(chain, m_account.host, m_account.certificateFingerprint);
    m_certificateRefused = !refused.ok();
    if (refused.ok())
        return true;
    *error = refused;
    return false;
}

bool ImapConnection::connect(PlatformError* error)
{
    drop();
    m_certificateRefused = false;
    m_session = mailimap_new(0, nullptr);
    if (!m_session) {
        *error = {ErrorKind::Io, -1, QStringLiteral("Out of memory"), {}};
        return false;
    }
    mailimap_set_timeout(m_session, kTimeoutSeconds);
    QByteArray host = m_account.host.toUtf8();
    const auto port = uint16_t(m_account.port);
    int code = MAILIMAP_NO_ERROR;
    switch (m_account.security) {
    case Security::Tls:
        code = mailimap_ssl_connect_with_callback(m_session, host.constData(), port, setServerName,
                                                  host.data());
        break;
    case Security::StartTls:
    case Security::None:
        code = mailimap_socket_connect(m_session, host.constData(), port);
        break;
    }
    const QString where = QStringLiteral("%1:%2").arg(m_account.host).arg(m_account.port);
    if (!greeted(code)) {
        *error = {ErrorKind::Io, code,
                  QStringLiteral("Cannot connect to %1%2")
                      .arg(where, code == MAILIMAP_ERROR_SSL
                                      ? QStringLiteral(": the TLS handshake failed")
                                  : code == MAILIMAP_ERROR_CONNECTION_REFUSED
                                      ? QStringLiteral(": the server cannot be reached")
                                      : QStringLiteral(": the server did not greet")),
                  where};
        drop();
        return false;
    }
    if (m_account.security == Security::StartTls) {
        code = mailimap_socket_starttls_with_callback(m_session, setServerName, host.data());
        if (code != MAILIMAP_NO_ERROR) {
            *error = errorOf(code, QStringLiteral("STARTTLS"));
            drop();
            return false;
        }
    }
    if (m_account.security != Security::None && !checkCertificate(error)) {
        drop();
        return false;
    }
    return true;
}

bool ImapConnection::login(PlatformError* error)
{
    QString why;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::optional<QString> password = m_password;
        if (!password || attempt > 0) {
            PlatformError missing;
            password = findPassword(m_account, why, &missing);
            if (!password) {
                *error = missing.ok() ? PlatformError{ErrorKind::AccessDenied,
                                                      -1,
                                                      QStringLiteral("No password was given"),
                                                      {}}
                                      : missing;
                if (!why.isEmpty())
                    error->text = why;
                return false;
            }
        }
        const int code = mailimap_login(m_session, m_account.user.toUtf8().constData(),
                                        password->toUtf8().constData());
        if (code == MAILIMAP_NO_ERROR) {
            if (!m_password || *m_password != *password) {
                m_password = password;
                if (PasswordSource* source = passwordSource())
                    source->accepted(m_account, *password);
            }
            return true;
        }
        *error = errorOf(code, QStringLiteral("The login of %1").arg(m_account.user));
        if (code != MAILIMAP_ERROR_LOGIN || !m_mayAsk)
            return false;
        why = error->text;
        m_password.reset();
    }
    return false;
}

bool ImapConnection::open(PlatformError* error)
{
    if (m_session)
        return true;
    if (!connect(error))
        return false;
    if (!login(error)) {
        close();
        return false;
    }
    // The capabilities after login are the ones that count (MOVE, UIDPLUS).
    struct mailimap_capability_data* capabilities = nullptr;
    const int code = mailimap_capability(m_session, &capabilities);
    if (capabilities)
        mailimap_capability_data_free(capabilities);
    if (code != MAILIMAP_NO_ERROR) {
        *error = errorOf(code, QStringLiteral("CAPABILITY"));
        drop();
        return false;
    }
    return true;
}

int ImapConnection::select(mailimap* session, const QByteArray& mailbox)
{
    if (m_selected == mailbox && !m_selected.isEmpty())
        return MAILIMAP_NO_ERROR;
    forgetSelection();
    const int code = mailimap_select(session, mailbox.constData());
    if (code == MAILIMAP_NO_ERROR) {
        m_selected = mailbox;
        m_selectedValidity =
            session->imap_selection_info ? session->imap_selection_info->sel_uidvalidity : 0;
    }
    return code;
}

bool ImapConnection::run(const std::function<int(mailimap*)>& command, Retry retry,
                         const QString& what, PlatformError* error, bool* dropped)
{
    if (dropped)
        *dropped = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!open(error))
            return false;
        const int code = command(m_session);
        if (code == MAILIMAP_NO_ERROR) {
            *error = {};
            return true;
        }
        *error = errorOf(code, what);
        if (!isConnectionFailure(code))
            return false;
        drop();
        if (dropped)
            *dropped = true;
        if (retry == Retry::Never)
            return false;
    }
    return false;
}

} // namespace kestrel::platform::imap
