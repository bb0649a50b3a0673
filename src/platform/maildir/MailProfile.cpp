#include "MailProfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace kestrel::platform::maildir {

namespace {

bool fail(PlatformError* error, ErrorKind kind, const QString& text, const QString& detail)
{
    if (error)
        *error = {kind, -1, text, detail};
    return false;
}

} // namespace

QString MailProfile::location()
{
    const QString explicitPath = qEnvironmentVariable("KESTREL_PROFILE");
    if (!explicitPath.isEmpty())
        return explicitPath;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/kestrel-mailkeep/profile.ini");
}

std::optional<MailProfile> MailProfile::load(const QString& file, PlatformError* error)
{
    const QFileInfo info(file);
    if (!info.exists()) {
        fail(error, ErrorKind::NotFound, QStringLiteral("No mail profile"), file);
        return std::nullopt;
    }
    if (!info.isFile() || !info.isReadable()) {
        fail(error, ErrorKind::AccessDenied, QStringLiteral("The mail profile cannot be read"),
             file);
        return std::nullopt;
    }

    QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        fail(error, ErrorKind::Invalid, QStringLiteral("The mail profile is malformed"), file);
        return std::nullopt;
    }

    MailProfile profile;
    profile.userName = settings.value(QStringLiteral("Profile/UserName")).toString();
    profile.userAddress = settings.value(QStringLiteral("Profile/UserAddress")).toString();
    const QString defaultName = settings.value(QStringLiteral("Profile/DefaultStore")).toString();

    const QDir base = info.absoluteDir();
    const QStringList groups = settings.childGroups();
    for (int n = 1; groups.contains(QStringLiteral("Store%1").arg(n)); ++n) {
        settings.beginGroup(QStringLiteral("Store%1").arg(n));
        StoreEntry store;
        store.name = settings.value(QStringLiteral("Name")).toString().trimmed();
        const QString path = settings.value(QStringLiteral("Path")).toString().trimmed();
        settings.endGroup();
        if (store.name.isEmpty() || path.isEmpty()) {
            fail(error, ErrorKind::Invalid,
                 QStringLiteral("Store %1 of the mail profile has no name or path").arg(n), file);
            return std::nullopt;
        }
        store.path = QDir::cleanPath(base.absoluteFilePath(path));
        profile.stores.append(store);
    }
    if (profile.stores.isEmpty()) {
        fail(error, ErrorKind::Invalid, QStringLiteral("The mail profile names no store"), file);
        return std::nullopt;
    }
    for (int i = 0; i < profile.stores.size(); ++i) {
        if (profile.stores[i].name == defaultName) {
            profile.defaultStore = i;
            break;
        }
    }
    return profile;
}

} // namespace kestrel::platform::maildir
