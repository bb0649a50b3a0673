#pragma once

// The folders of one Outlook data file, read once when the file is opened:
// from the top of the user's folders ("Top of Personal Folders", "Top of
// Information Store" or an offline file's IPM subtree) down, with each
// folder's name, kind and number of messages.

#include "../PlatformError.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrel::platform::pst {

class PstFile;

// The default item type of a search folder: not mail, so never walked (its
// messages live in other folders already).
inline constexpr int kSearchFolderItemType = -1;

struct PstFolderNode {
    std::uint32_t id = 0; // the folder's node identifier in the file
    QString name;
    int parent = -1; // index into the tree; -1 for the top
    QList<int> children;
    int messageCount = 0;
    int itemType = 0; // FolderItemType, or kSearchFolderItemType
};

class PstFolderTree {
public:
    // Fails (with the reason) when the file's folders cannot be read: a
    // damaged file is refused whole rather than shown with folders missing.
    static std::optional<PstFolderTree> read(const PstFile& file, PlatformError* error);

    const PstFolderNode& node(int index) const { return m_nodes.at(std::size_t(index)); }
    int size() const { return int(m_nodes.size()); }
    int find(std::uint32_t id) const; // -1 when not in the tree
    int child(int parent, const QString& name) const;
    // Names from the top down to the folder, without the top's own.
    QStringList namesOf(int index) const;

private:
    std::vector<PstFolderNode> m_nodes;
};

} // namespace kestrel::platform::pst
