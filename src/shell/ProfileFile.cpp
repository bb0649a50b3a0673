#include "ProfileFile.h"

#include "platform/MailProfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace kestrel::shell {

namespace {

const QString kName = QStringLiteral("Name");
const QString kPath = QStringLiteral("Path");
const QString kType = QStringLiteral("Type");

QString storeGroup(int number)
{
    return QStringLiteral("Store%1").arg(number);
}

} // namespace

bool ProfileFile::exists() const
{
    return QFileInfo::exists(m_file);
}

QList<StoreChoice> ProfileFile::stores() const
{
    QList<StoreChoice> result;
    if (!exists())
        return result;
    QSettings settings(m_file, QSettings::IniFormat);
    const QDir base = QFileInfo(m_file).absoluteDir();
    const QStringList groups = settings.childGroups();
    for (int n = 1; groups.contains(storeGroup(n)); ++n) {
        settings.beginGroup(storeGroup(n));
        StoreChoice store;
        store.ticked = true;
        store.name = settings.value(kName).toString().trimmed();
        const QString type = settings.value(kType).toString().trimmed().toLower();
        if (platform::storeTypeHasPath(type))
            store.path =
                QDir::cleanPath(base.absoluteFilePath(settings.value(kPath).toString().trimmed()));
        for (const QString& key : settings.childKeys()) {
            if (key != kName && key != kPath)
                store.keys.insert(key, settings.value(key).toString());
        }
        settings.endGroup();
        result.append(store);
    }
    return result;
}

bool ProfileFile::write(const QList<StoreChoice>& choices)
{
    m_lastError.clear();
    const QString folder = QFileInfo(m_file).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_lastError = QStringLiteral("The folder %1 cannot be created").arg(folder);
        return false;
    }
    QSettings settings(m_file, QSettings::IniFormat);
    for (const QString& group : settings.childGroups()) {
        if (group.startsWith(QLatin1String("Store")))
            settings.remove(group);
    }
    QStringList names;
    int number = 0;
    for (const StoreChoice& store : choices) {
        if (!store.ticked)
            continue;
        settings.beginGroup(storeGroup(++number));
        settings.setValue(kName, store.name);
        if (platform::storeTypeHasPath(store.keys.value(kType).trimmed().toLower()))
            settings.setValue(kPath, store.path);
        for (auto key = store.keys.cbegin(); key != store.keys.cend(); ++key)
            settings.setValue(key.key(), key.value());
        if (!store.keys.contains(kType))
            settings.setValue(kType, QStringLiteral("maildir"));
        settings.endGroup();
        names.append(store.name);
    }
    const QString defaultKey = QStringLiteral("Profile/DefaultStore");
    if (!names.contains(settings.value(defaultKey).toString()))
        settings.setValue(defaultKey, names.value(0));
    if (!settings.contains(QStringLiteral("Profile/UserName")))
        settings.setValue(QStringLiteral("Profile/UserName"), qEnvironmentVariable("USER"));
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        m_lastError = QStringLiteral("The mail profile %1 cannot be written").arg(m_file);
        return false;
    }
    return true;
}

bool createMaildirTree(const QString& path, QString* error)
{
    const QDir root(path);
    const QStringList parts{QStringLiteral("cur"), QStringLiteral("new"), QStringLiteral("tmp")};
    if (root.exists()) {
        if (QFileInfo(root.filePath(QStringLiteral("cur"))).isDir() &&
            QFileInfo(root.filePath(QStringLiteral("new"))).isDir())
            return true;
        if (!root.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (error)
                *error = QStringLiteral("%1 is not empty and holds no Maildir folder").arg(path);
            return false;
        }
    }
    for (const QString& part : parts) {
        if (!QDir().mkpath(root.filePath(part))) {
            if (error)
                *error = QStringLiteral("%1 cannot be created").arg(root.filePath(part));
            return false;
        }
    }
    // Mail is the user's alone, as mail programs make it.
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QFile::setPermissions(path, ownerOnly);
    for (const QString& part : parts)
        QFile::setPermissions(root.filePath(part), ownerOnly);
    return true;
}

} // namespace kestrel::shell
