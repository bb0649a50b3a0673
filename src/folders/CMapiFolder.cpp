#include "CMapiFolder.h"

#include "platform/MailPlatform.h"

namespace kestrel::folders {

void CMapiFolder::setMAPIFolder(platform::Folder& folder)
{
    if (auto v = folder.name())
        Name = *v;
    if (auto v = folder.storeId())
        StoreID = *v;
    if (auto v = folder.entryId())
        EntryID = *v;
    if (auto v = folder.folderPath())
        Path = *v;
    if (auto items = folder.items()) {
        if (auto n = items->count())
            ItemCount = *n;
    }
    if (auto v = folder.isStoreRoot())
        IsTopLevel = *v;
}

} // namespace kestrel::folders
