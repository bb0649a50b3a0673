#include "mdlMAPI.h"

#include "platform/FolderPath.h"
#include "platform/MailPlatform.h"

namespace kestrel::folders {

namespace {

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

std::unique_ptr<platform::Folder> GetFolderFromPath(platform::Namespace& ns, const QString& path)
{
    const platform::FolderPath parsed = platform::FolderPath::parse(path);
    if (parsed.isEmpty())
        return nullptr;

    auto stores = ns.folders();
    if (!stores)
        return nullptr;
    std::unique_ptr<platform::Folder> folder = stores->item(parsed.store());
    for (qsizetype i = 0; folder && i < parsed.names().size(); ++i)
        folder = childByName(*folder, parsed.names().at(i));
    return folder;
}

std::unique_ptr<platform::Folder> CreateFolderPath(platform::Folder& root,
                                                   const QString& relativePath,
                                                   platform::PlatformError* error)
{
    auto fail = [error](const platform::PlatformError& why) {
        if (error)
            *error = why;
        return nullptr;
    };
    const QStringList names = platform::FolderPath::parseRelative(relativePath);
    if (names.isEmpty())
        return fail(
            {platform::ErrorKind::Invalid, -1, QStringLiteral("No folder path"), relativePath});

    std::unique_ptr<platform::Folder> current;
    for (const QString& name : names) {
        if (name.isEmpty())
            return fail({platform::ErrorKind::Invalid, -1,
                         QStringLiteral("A folder without a name"), relativePath});
        platform::Folder& parent = current ? *current : root;
        auto children = parent.folders();
        if (!children)
            return fail(parent.lastError());
        auto next = children->item(name);
        if (!next)
            next = children->add(name);
        if (!next)
            return fail(children->lastError());
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
