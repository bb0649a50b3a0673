#pragma once

#include <QString>

namespace kestrel::platform {
class Folder;
}

namespace kestrel::folders {

// A detached snapshot of one mail folder. Filling it from a platform folder
// reads each fact on its own: a read that fails leaves its field as it was.
// The record keeps no reference to the folder.
class CMapiFolder {
public:
    QString Name;
    bool IsTopLevel = false;
    QString StoreID;
    QString EntryID;
    QString Path;
    qint64 ItemCount = 0;

    void setMAPIFolder(platform::Folder& folder);
};

} // namespace kestrel::folders
