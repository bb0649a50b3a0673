#pragma once

#include "CMapiFolder.h"

#include <QList>

namespace kestrel::platform {
class Namespace;
}

namespace kestrel::folders {

// The data stores of the profile, one record per store root, in the order the
// namespace lists them and keyed by StoreID. Store list entries refer to a
// record by its 1-based position.
class TopLevelFolders {
public:
    int count() const { return int(m_records.size()); }
    // 1-based; nullptr outside 1..count().
    const CMapiFolder* item(int position) const;
    // The record with that store identifier (exact text), or nullptr.
    const CMapiFolder* find(const QString& storeId) const;
    // Refused (false) when a record with the same StoreID is already held.
    bool add(const CMapiFolder& record);
    void clear() { m_records.clear(); }
    const QList<CMapiFolder>& records() const { return m_records; }

private:
    QList<CMapiFolder> m_records;
};

// A new collection of the namespace's top-level folders. Folders that cannot
// be read are skipped or give the fields that could be read; never fails.
TopLevelFolders LoadTopLevelFolders(platform::Namespace& ns);

} // namespace kestrel::folders
