#include "MailProfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace kestrel::platform {

namespace {

bool fail(PlatformError* error, ErrorKind kind, const QString& text, const QString& detail)
{
    if (error)
        *error = {kind, -1, text, detail};
    return false;
}

// The folder a store path stands for: symbolic links and ".." resolved.
QString realPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

// Stores are told apart by name (folder paths start with it) and must not be
// one folder twice (a move between them would move nothing, a copy double
// everything); a backslash would split the name in a folder path.
bool checkDistinct(const QList<StoreEntry>& stores, const QString& file, PlatformError* error)
{
    for (qsizetype i = 0; i < stores.size(); ++i) {
        const StoreEntry& one = stores[i];
        if (one.name.contains('\\'))
            return fail(error, ErrorKind::Invalid,
                        QStringLiteral("The store name \"%1\" holds a backslash, which separates "
                                       "folder names")
                            .arg(one.name),
                        file);
        for (qsizetype k = 0; k < i; ++k) {
            const StoreEntry& other = stores[k];
            if (other.name == one.name)
                return fail(error, ErrorKind::Invalid,
                            QStringLiteral("Two stores of the mail profile are named \"%1\" "
                                           "(%2 and %3)")
                                .arg(one.name, other.path, one.path),
                            file);
            if (!one.path.isEmpty() && realPath(other.path) == realPath(one.path))
                return fail(error, ErrorKind::Invalid,
                            QStringLiteral("The stores \"%1\" and \"%2\" of the mail profile are "
                                           "the same folder (%3)")
                                .arg(other.name, one.name, realPath(one.path)),
                            file);
        }
    }
    return true;
}

} // namespace

bool storeTypeHasPath(const QString& type)
{
    return type != QLatin1String("imap");
}

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
        store.type = settings.value(QStringLiteral("Type")).toString().trimmed().toLower();
        if (store.type.isEmpty())
            store.type = QLatin1String(kDefaultStoreType);
        for (const QString& key : settings.childKeys()) {
            if (key != QLatin1String("Name") && key != QLatin1String("Path") &&
                key != QLatin1String("Type"))
                store.settings.insert(key, settings.value(key).toString());
        }
        settings.endGroup();
        const bool hasPath = storeTypeHasPath(store.type);
        if (store.name.isEmpty() || (hasPath && path.isEmpty())) {
            fail(error, ErrorKind::Invalid,
                 QStringLiteral("Store %1 of the mail profile has no name or path").arg(n), file);
            return std::nullopt;
        }
        if (hasPath)
            store.path = QDir::cleanPath(base.absoluteFilePath(path));
        profile.stores.append(store);
    }
    if (profile.stores.isEmpty()) {
        fail(error, ErrorKind::Invalid, QStringLiteral("The mail profile names no store"), file);
        return std::nullopt;
    }
    if (!checkDistinct(profile.stores, file, error))
        return std::nullopt;
    for (int i = 0; i < profile.stores.size(); ++i) {
        if (profile.stores[i].name == defaultName) {
            profile.defaultStore = i;
            break;
        }
    }
    return profile;
}

} // namespace kestrel::platform
