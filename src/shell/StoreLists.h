#pragma once

#include <QString>

class QComboBox;

namespace kestrel::platform {
class Session;
}
namespace kestrel::folders {
class TopLevelFolders;
}

namespace kestrel::shell {

inline constexpr char kDiskFolderEntry[] = "[Disk Folder]";

// Refills a store list: one entry per store with its 1-based position as item
// data, then "[Disk Folder]" (item data 0). No entry is left chosen.
void fillStoreList(QComboBox& list, const folders::TopLevelFolders& stores);

// The store position an entry stands for; 0 for "[Disk Folder]" or no entry.
int storePosition(const QComboBox& list, int index);

// Chooses the first entry whose text begins with name, ignoring case, and
// returns true; else chooses the first entry and returns false.
bool SelectFolder(QComboBox& list, const QString& name);

// Chooses the entry of the session's default store; false (choice unchanged)
// when there is no session, its default store cannot be read or is not listed.
bool SelectDefaultStore(QComboBox& list, const folders::TopLevelFolders& stores,
                        platform::Session* session);

// True when the chosen entry is the last one, "[Disk Folder]".
bool IsDiskFolderSelected(const QComboBox& list);

} // namespace kestrel::shell
