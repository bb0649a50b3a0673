#pragma once

// One folder's messages by unique name: what its last scan listed, and what
// this program put there or took away since. The scan's listing is searched
// in place and shared with the item collections that use it; the names put
// there since are held as compactly, so that a run filling or emptying a
// folder of a million messages stays small.

#include "FolderListing.h"

#include <QHash>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace kestrel::platform::maildir {

class FolderIndex {
public:
    FolderIndex();
    explicit FolderIndex(std::shared_ptr<const FolderListing> listing);

    const std::shared_ptr<const FolderListing>& listing() const { return m_listing; }
    // The message of that unique name, as last remembered, else as listed
    // unless forgotten since.
    std::optional<MessageEntry> find(const QString& unique) const;
    // entry.fileName starts with unique.
    void remember(const QString& unique, const MessageEntry& entry);
    void forget(const QString& unique);

    qint64 curStamp = -1; // directory mtimes (ns) at the scan
    qint64 newStamp = -1;
    qint64 scannedAt = 0; // ns

private:
    // The live position in m_added of that unique name.
    std::optional<quint32> findAdded(QByteArrayView unique, size_t hash) const;
    void dropAdded(QByteArrayView unique);

    std::shared_ptr<const FolderListing> m_listing;
    std::vector<bool> m_forgotten; // by listed position; empty until a forget

    // Remembered since the scan, in the order they came; a newer name of a
    // unique replaces the older, which stays behind as dropped.
    FolderListing m_added;
    std::vector<bool> m_addedDropped;
    QHash<size_t, quint32> m_addedAt;          // hash of the unique name -> position
    QHash<QString, MessageEntry> m_hashShared; // the rare name whose hash is taken
};

} // namespace kestrel::platform::maildir
