#include "StoreSelection.h"

#include "folders/mdlMAPI.h"
#include "platform/MailProfile.h"
#include "platform/PlatformRegistry.h"
#include "platform/ProfileApplication.h"

namespace kestrel::cli {

namespace {

QString described(const platform::PlatformError& error)
{
    return error.detail.isEmpty() ? error.text : error.text + QStringLiteral(": ") + error.detail;
}

QString quotedList(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names)
        quoted.append(u'"' + name + u'"');
    return quoted.join(QStringLiteral(", "));
}

} // namespace

bool StoreSelection::open()
{
    m_profileFile = platform::MailProfile::location();
    platform::PlatformError error;
    std::optional<platform::MailProfile> profile =
        platform::MailProfile::load(m_profileFile, &error);
    if (!profile) {
        m_lastError = QStringLiteral("the mail profile cannot be used: ") + described(error);
        return false;
    }
    m_application = std::make_unique<platform::ProfileApplication>(std::move(*profile),
                                                                   platform::installedBackends());
    m_namespace = m_application->getNamespace(QStringLiteral("MAPI"));
    if (!m_namespace || !m_namespace->logon()) {
        m_lastError = QStringLiteral("The mail stores cannot be opened.");
        if (m_namespace && !m_namespace->lastError().text.isEmpty())
            m_lastError += u' ' + described(m_namespace->lastError());
        return false;
    }
    m_session = m_namespace->openSession();
    return true;
}

QStringList StoreSelection::storeNames()
{
    QStringList names;
    std::unique_ptr<platform::FolderCollection> stores = m_namespace->folders();
    const int count = stores ? stores->count().value_or(0) : 0;
    for (int position = 1; position <= count; ++position) {
        if (std::unique_ptr<platform::Folder> root = stores->item(position))
            names.append(root->name().value_or(QString()));
    }
    return names;
}

std::unique_ptr<platform::Folder> StoreSelection::storeRoot(const QString& name,
                                                            const QString& whatParts)
{
    std::unique_ptr<platform::FolderCollection> stores = m_namespace->folders();
    const int count = stores ? stores->count().value_or(0) : 0;
    for (int position = 1; position <= count; ++position) {
        std::unique_ptr<platform::Folder> root = stores->item(position);
        if (root && root->name() == name)
            return root;
    }
    // A store left out at logon says why; any other name is not in the profile.
    for (const platform::PlatformError& left : m_namespace->unusableStores()) {
        if (left.text.contains(u'"' + name + u'"')) {
            m_lastError = whatParts + u' ' + described(left);
            return nullptr;
        }
    }
    m_lastError = whatParts + QStringLiteral(" No store is named \"%1\" in %2; its stores: %3")
                                  .arg(name, m_profileFile, quotedList(storeNames()));
    return nullptr;
}

QList<engine::TaskFolder> StoreSelection::namedFolders(platform::Folder& storeRoot,
                                                       const QStringList& paths)
{
    const QString storeName = storeRoot.name().value_or(QString());
    const QString storePath = storeRoot.folderPath().value_or(QStringLiteral("\\\\") + storeName);
    QList<engine::TaskFolder> nodes;
    for (const QString& given : paths) {
        QString path = given;
        if (!path.startsWith(QLatin1String("\\\\"))) {
            while (path.startsWith(u'\\'))
                path.remove(0, 1);
            while (path.endsWith(u'\\'))
                path.chop(1);
            path = storePath + u'\\' + path;
        }
        std::unique_ptr<platform::Folder> folder = folders::GetFolderFromPath(*m_namespace, path);
        if (!folder) {
            m_lastError =
                QStringLiteral("No folder \"%1\" in the store \"%2\"").arg(given, storeName);
            return {};
        }
        const QString name = folder->name().value_or(path.section(u'\\', -1));
        nodes.append({name, folder->folderPath().value_or(path), true});
    }
    return nodes;
}

QList<engine::TaskFolder> StoreSelection::allFolders(platform::Folder& storeRoot)
{
    const QString storePath = storeRoot.folderPath().value_or(QStringLiteral("\\\\") +
                                                              storeRoot.name().value_or(QString()));
    QList<engine::TaskFolder> nodes;
    const auto noYield = [] {};
    const folders::ChildFolderList tops =
        folders::GetChildFolders(*m_namespace, storePath, noYield);
    for (const folders::CMapiFolder& top : tops.records()) {
        nodes.append({top.Name, top.Path, true});
        const folders::ChildFolderList subs =
            folders::GetChildFolders(*m_namespace, top.Path, noYield);
        for (const folders::CMapiFolder& sub : subs.records())
            nodes.append({sub.Name, sub.Path, true});
    }
    return nodes;
}

} // namespace kestrel::cli
