#pragma once

#include "../MailPlatform.h"
#include "ImapBackend.h"
#include "ImapFolderRef.h"

#include <memory>

namespace kestrel::platform::imap {

// The messages of a mailbox, or those a restriction found. A restriction
// asks the server for the day range (UID SEARCH), then fetches what every
// item answers for the UIDs found, a few thousand per FETCH, never bodies,
// and applies the minute bounds to that.
class ImapItemCollection : public ItemCollection {
public:
    ImapItemCollection(std::shared_ptr<ImapBackend> backend, ImapFolderRef folder);
    ImapItemCollection(std::shared_ptr<ImapBackend> backend, ImapFolderRef folder,
                       std::shared_ptr<const Listing> listing);

    std::unique_ptr<ItemCollection> restrict(const QString& filter) override;
    std::optional<qint64> count() override;
    std::unique_ptr<MailItem> item(qint64 index) override;

private:
    bool holdsMessages(PlatformError* error);
    // Summaries of uids (in order), fetched in chunks under validity.
    std::shared_ptr<Listing> fetchListing(QList<uint32_t> uids, uint32_t validity,
                                          PlatformError* error);
    const Listing* listing();

    std::shared_ptr<ImapBackend> m_backend;
    ImapFolderRef m_folder;
    std::shared_ptr<const Listing> m_listing;
};

} // namespace kestrel::platform::imap
