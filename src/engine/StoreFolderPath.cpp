#include "StoreFolderPath.h"

#include "folders/mdlMAPI.h"
#include "platform/FolderPath.h"
#include "platform/MailPlatform.h"

namespace kestrel::engine {

namespace {

QString withoutLeadingDoubleBackslash(const QString& path)
{
    return path.startsWith(QLatin1String("\\\\")) ? path.mid(2) : path;
}

} // namespace

std::unique_ptr<platform::MailItem> ImportMsgFile(const QString& path, platform::Folder* folder,
                                                  platform::PlatformError* error)
{
    auto fail = [error](const platform::PlatformError& why) {
        if (error)
            *error = why;
        return nullptr;
    };
    if (!folder)
        return fail({platform::ErrorKind::NotFound,
                     -1,
                     QStringLiteral("The destination store cannot be opened"),
                     {}});
    std::unique_ptr<platform::MailItem> item = folder->addItem();
    if (!item)
        return fail(folder->lastError());
    if (!item->importFile(path, platform::kMsgFormat))
        return fail(item->lastError());
    return item;
}

std::unique_ptr<platform::Folder> OpenRootFolder(platform::Session* session, platform::Folder* root)
{
    if (!session || !root)
        return nullptr;
    const std::optional<QString> entryId = root->entryId();
    return entryId ? session->getFolderFromId(*entryId) : nullptr;
}

std::unique_ptr<platform::Folder> GetStoreFolderByPath(platform::Session* session,
                                                       platform::Folder* root,
                                                       const QString& relativePath)
{
    std::unique_ptr<platform::Folder> current = OpenRootFolder(session, root);
    if (!current || relativePath.isEmpty())
        return current;
    for (const QString& name :
         platform::FolderPath::parseRelative(withoutLeadingDoubleBackslash(relativePath))) {
        std::unique_ptr<platform::FolderCollection> children = current->folders();
        current = children ? children->item(name) : nullptr;
        if (!current)
            return nullptr;
    }
    return current;
}

std::unique_ptr<platform::Folder> CreateStoreFolderPath(platform::Session* session,
                                                        platform::Folder* root,
                                                        const QString& relativePath)
{
    const std::unique_ptr<platform::Folder> opened = OpenRootFolder(session, root);
    if (!opened || relativePath.isEmpty())
        return nullptr;
    return folders::CreateFolderPath(*opened, withoutLeadingDoubleBackslash(relativePath));
}

} // namespace kestrel::engine
