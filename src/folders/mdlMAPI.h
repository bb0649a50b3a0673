#pragma once

// Folder paths (platform/FolderPath.h) resolved to live folders.

#include "CMapiFolder.h"
#include "platform/PlatformError.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace kestrel::platform {
class Folder;
class Namespace;
class Session;
} // namespace kestrel::platform

namespace kestrel::folders {

// Subfolder records keyed by EntryID, in the folder's own listing order.
class ChildFolderList {
public:
    int count() const { return int(m_records.size()); }
    const CMapiFolder& at(int index) const { return m_records.at(index); }
    // Refused (false) when a record with the same EntryID is already held.
    bool add(const CMapiFolder& record);
    const QList<CMapiFolder>& records() const { return m_records; }

private:
    QList<CMapiFolder> m_records;
};

// The folder at a path, or nullptr when any component is missing, for an
// empty path and for a path ending in a backslash.
std::unique_ptr<platform::Folder> GetFolderFromPath(platform::Namespace& ns, const QString& path);

// Walks a relative path ("Inbox\Clients") below root, creating every missing
// level. nullptr when a level can be neither found nor created, or for an
// empty path (error, when given, says why). Levels created on the way stay.
std::unique_ptr<platform::Folder> CreateFolderPath(platform::Folder& root,
                                                   const QString& relativePath,
                                                   platform::PlatformError* error = nullptr);

// The mail folders directly below the folder at path. Never fails: an
// unresolvable path gives an empty list. yieldEvents runs after every tenth
// subfolder, so that the window repaints during long listings.
ChildFolderList GetChildFolders(platform::Namespace& ns, const QString& path,
                                const std::function<void()>& yieldEvents);

// The default store's identifier; empty without a session.
QString GetDefaultStoreID(platform::Session* session);

} // namespace kestrel::folders
