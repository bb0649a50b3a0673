#include "ImapAccount.h"

namespace kestrel::platform::imap {

namespace {

std::optional<Security> securityOf(const QString& word)
{
    const QString w = word.trimmed().toLower();
    if (w.isEmpty() || w == QLatin1String("tls"))
        return Security::Tls;
    if (w == QLatin1String("starttls"))
        return Security::StartTls;
    if (w == QLatin1String("none"))
        return Security::None;
    return std::nullopt;
}

QString wordOf(Security security)
{
    switch (security) {
    case Security::Tls:
        return QStringLiteral("tls");
    case Security::StartTls:
        return QStringLiteral("starttls");
    case Security::None:
        return QStringLiteral("none");
    }
    return {};
}

bool fail(PlatformError* error, const QString& store, const QString& text)
{
    if (error)
        *error = {ErrorKind::Invalid,
                  -1,
                  QStringLiteral("The IMAP store \"%1\": %2").arg(store, text),
                  {}};
    return false;
}

} // namespace

std::optional<ImapAccount> ImapAccount::fromStore(const StoreEntry& store, PlatformError* error)
{
    ImapAccount account;
    account.storeName = store.name;
    account.host = store.settings.value(QStringLiteral("Host")).trimmed();
    account.user = store.settings.value(QStringLiteral("User"));
    account.passwordCommand = store.settings.value(QStringLiteral("PasswordCommand"));
    account.certificateFingerprint =
        store.settings.value(QStringLiteral("CertificateFingerprint")).trimmed();
    const std::optional<Security> security =
        securityOf(store.settings.value(QStringLiteral("Security")));
    if (account.host.isEmpty()) {
        fail(error, store.name, QStringLiteral("Host= is missing"));
        return std::nullopt;
    }
    if (account.user.isEmpty()) {
        fail(error, store.name, QStringLiteral("User= is missing"));
        return std::nullopt;
    }
    if (!security) {
        fail(error, store.name,
             QStringLiteral("Security= must be tls, starttls or none, not \"%1\"")
                 .arg(store.settings.value(QStringLiteral("Security"))));
        return std::nullopt;
    }
    account.security = *security;
    account.port = account.security == Security::Tls ? 993 : 143;
    const QString port = store.settings.value(QStringLiteral("Port")).trimmed();
    if (!port.isEmpty()) {
        bool ok = false;
        const int value = port.toInt(&ok);
        if (!ok || value < 1 || value > 65535) {
            fail(error, store.name, QStringLiteral("Port= is not a port number: \"%1\"").arg(port));
            return std::nullopt;
        }
        account.port = value;
    }
    if (error)
        *error = {};
    return account;
}

QMap<QString, QString> ImapAccount::toSettings() const
{
    QMap<QString, QString> settings;
    settings.insert(QStringLiteral("Host"), host);
    settings.insert(QStringLiteral("Port"), QString::number(port));
    settings.insert(QStringLiteral("Security"), wordOf(security));
    settings.insert(QStringLiteral("User"), user);
    if (!passwordCommand.isEmpty())
        settings.insert(QStringLiteral("PasswordCommand"), passwordCommand);
    if (!certificateFingerprint.isEmpty())
        settings.insert(QStringLiteral("CertificateFingerprint"), certificateFingerprint);
    return settings;
}

QString ImapAccount::keyringKey() const
{
    return QStringLiteral("imap://%1@%2:%3").arg(user, host).arg(port);
}

} // namespace kestrel::platform::imap
