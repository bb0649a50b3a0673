#pragma once

#include "../MailPlatform.h"
#include "FolderRef.h"
#include "HeaderReadAhead.h"
#include "MaildirBackend.h"
#include "MessageFile.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kestrel::platform::maildir {

// What a restriction's walks read of each match, kept as they left it (one or
// two runs of the listing, each from its last position) rather than copied
// into one list, which a folder of a million would hold twice for a moment.
class MatchFacts {
public:
    MatchFacts() = default;
    MatchFacts(std::vector<FileFacts> lower, std::vector<FileFacts> upper)
        : m_lower(std::move(lower)), m_upper(std::move(upper))
    {
    }
    qsizetype size() const { return qsizetype(m_lower.size() + m_upper.size()); }
    // The facts of the match at index (0-based, in listing order), moved out.
    FileFacts take(qsizetype index)
    {
        const qsizetype below = qsizetype(m_lower.size());
        std::vector<FileFacts>& run = index < below ? m_lower : m_upper;
        const qsizetype at = index < below ? index : index - below;
        return std::exchange(run[run.size() - 1 - size_t(at)], {});
    }

private:
    std::vector<FileFacts> m_lower;
    std::vector<FileFacts> m_upper;
};

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
                          std::vector<quint32> positions, MatchFacts facts = {},
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
    MatchFacts m_facts;
    PlatformError m_listError;                    // why the folder could not be listed
    std::unique_ptr<HeaderReadAhead> m_readAhead; // last: stopped before the rest goes
};

} // namespace kestrel::platform::maildir
