#pragma once

// Where a folder lives: its store and its directory below the store's Maildir
// root ("" for the store root itself, which has no directory of its own; "."
// for Inbox, the Maildir root; ".Name", ".INBOX.Child", ".A.B" for the rest).

#include <QStringList>

#include <optional>

namespace kestrel::platform::maildir {

struct FolderRef {
    int store = -1;
    QString dirName;   // as on disk; empty = the store root
    QStringList names; // display names from below the store root down to this folder

    bool isStoreRoot() const { return dirName.isEmpty(); }
    bool isInbox() const { return dirName == QLatin1String("."); }
    // The prefix that children's directory names extend with ".Component".
    QString childPrefix() const;

    // The folder of a directory name found on disk (names as FolderTree gives
    // them, see folderDisplayName); nothing when it names no folder directory.
    static std::optional<FolderRef> fromDirName(int store, const QString& dirName);
    static FolderRef storeRoot(int store) { return {store, QString(), {}}; }
    static FolderRef inbox(int store);
};

inline constexpr const char* kInboxName = "Inbox";
inline constexpr const char* kDeletedItemsName = "Deleted Items";

} // namespace kestrel::platform::maildir
