#include "mdlMAPI.h"

#include "platform/MailPlatform.h"

namespace kestrel::folders {

namespace {

// Splits at every backslash, keeping empty components; "" gives none.
QStringList pathComponents(const QString& path)
{
    if (path.isEmpty())
        return {};
    return path.split('\\');
}

std::unique_ptr<platform::Folder> childByName(platform::Folder& parent, const QString& name)
{
    auto children = parent.folders();
    return children ? children->item(name) : nullptr;
}

} // namespace

bool ChildFolderList::add(const CMapiFolder& record)
{
    for (const CMapiFolder& held : m_records) {
        if (held.EntryID == record.EntryID)
            return false;
    }
    m_records.append(record);
    return true;
}

QString DecodeFolderName(const QString& component)
{
    // One pass, so that "%252F" reads as "%2F"; only the three exact escapes.
    QString name;
    name.reserve(component.size());
    for (qsizetype i = 0; i < component.size(); ++i) {
        const QStringView code = QStringView(component).mid(i + 1, 2);
        if (component.at(i) == '%' && code.size() == 2) {
            const QChar plain = code == u"25"   ? QChar('%')
                                : code == u"2F" ? QChar('/')
                                : code == u"5C" ? QChar('\\')
                                                : QChar();
            if (!plain.isNull()) {
                name += plain;
                i += 2;
                continue;
            }
        }
        name += component.at(i);
    }
    return name;
}

std::unique_ptr<platform::Folder> GetFolderFromPath(platform::Namespace& ns, const QString& path)
{
    const QStringList components =
        pathComponents(path.startsWith(QLatin1String("\\\\")) ? path.mid(2) : path);
    if (components.isEmpty())
        return nullptr;

    auto stores = ns.folders();
    if (!stores)
        return nullptr;
    // The store's name is looked up as it stands.
    std::unique_ptr<platform::Folder> folder = stores->item(components.first());
    for (qsizetype i = 1; folder && i < components.size(); ++i)
        folder = childByName(*folder, DecodeFolderName(components.at(i)));
    return folder;
}

std::unique_ptr<platform::Folder> CreateFolderPath(platform::Folder& root,
                                                   const QString& relativePath)
{
    const QStringList components = pathComponents(relativePath);
    if (components.isEmpty())
        return nullptr;

    std::unique_ptr<platform::Folder> current;
    for (const QString& component : components) {
        const QString name = DecodeFolderName(component);
        if (name.isEmpty())
            return nullptr;
        platform::Folder& parent = current ? *current : root;
        auto children = parent.folders();
        if (!children)
            return nullptr;
        auto next = children->item(name);
        if (!next)
            next = children->add(name);
        if (!next)
            return nullptr;
        current = std::move(next);
    }
    return current;
}

ChildFolderList GetChildFolders(platform::Namespace& ns, const QString& path,
                                const std::function<void()>& yieldEvents)
{
    ChildFolderList result;
    auto folder = GetFolderFromPath(ns, path);
    if (!folder)
        return result;
    auto children = folder->folders();
    if (!children)
        return result;
    const std::optional<int> count = children->count();
    if (!count)
        return result;

    for (int position = 1; position <= *count; ++position) {
        if (auto child = children->item(position)) {
            if (child->defaultItemType() == platform::MailFolderType) {
                CMapiFolder record;
                record.setMAPIFolder(*child);
                result.add(record);
            }
        }
        if (position % 10 == 0 && yieldEvents)
            yieldEvents();
    }
    return result;
}

QString GetDefaultStoreID(platform::Session* session)
{
    if (!session)
        return {};
    return session->defaultStoreId().value_or(QString());
}

} // namespace kestrel::folders
