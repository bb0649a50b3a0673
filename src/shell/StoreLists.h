#pragma once

#include <QString>

class QComboBox;

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

// Chooses the entry of the store whose StoreID is defaultStoreId; false
// (choice unchanged) when no listed store has it.
bool SelectDefaultStore(QComboBox& list, const folders::TopLevelFolders& stores,
                        const QString& defaultStoreId);

// True when the chosen entry is the last one, "[Disk Folder]".
bool IsDiskFolderSelected(const QComboBox& list);

} // namespace kestrel::shell
