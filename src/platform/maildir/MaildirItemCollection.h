#pragma once

#include "../MailPlatform.h"
#include "FolderRef.h"
#include "HeaderReadAhead.h"
#include "MaildirBackend.h"
#include "MessageFile.h"

#include <memory>
#include <optional>
#include <vector>

namespace kestrel::platform::maildir {

// A folder's messages, listed on first use (names only) and sorted by unique
// name, which puts Dovecot-style names in arrival order. A restricted
// collection keeps positions in the folder's listing, not entries of its own.
// A folder whose directories are links fails every call with the reason.
class MaildirItemCollection : public ItemCollection {
public:
    MaildirItemCollection(std::shared_ptr<MaildirBackend> backend, FolderRef folder);
    // A restriction's result; facts (when not empty) holds what the filter
    // read of each entry, given to the item made for it.
    // With readAhead, the header blocks are read ahead on a thread of their
    // own, in the order a run takes the items.
    MaildirItemCollection(std::shared_ptr<MaildirBackend> backend, FolderRef folder,
                          std::shared_ptr<const FolderListing> listing,
                          std::vector<quint32> positions, QList<FileFacts> facts = {},
                          bool readAhead = false);

    std::unique_ptr<ItemCollection> restrict(const QString& filter) override;
    std::optional<qint64> count() override;
    std::unique_ptr<MailItem> item(qint64 index) override;

private:
    // Lists the folder on first use; false with the reason in m_listError.
    bool listed();
    qsizetype size() const;
    // The listing position of the item at index (0-based) of this collection.
    qsizetype positionAt(qsizetype index) const;

    std::shared_ptr<MaildirBackend> m_backend;
    FolderRef m_folder;
    QString m_dir;
    std::shared_ptr<const FolderListing> m_listing;  // null until listed
    std::optional<std::vector<quint32>> m_positions; // a restriction's, in listing order
    QList<FileFacts> m_facts;
    PlatformError m_listError;                    // why the folder could not be listed
    std::unique_ptr<HeaderReadAhead> m_readAhead; // last: stopped before the rest goes
};

} // namespace kestrel::platform::maildir
