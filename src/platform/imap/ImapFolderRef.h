#pragma once

// Where an IMAP folder lives: its store (by position among the usable stores)
// and the mailbox as the server spells it (empty for the store root, which
// is no mailbox; "INBOX" for Inbox, shown as "Inbox" and listed first as the
// Maildir backend does).

#include <QByteArray>
#include <QStringList>

namespace kestrel::platform::imap {

struct ImapFolderRef {
    int store = -1;
    QByteArray mailbox; // empty = the store root
    QStringList names;  // display names from below the store root down to this folder

    bool isStoreRoot() const { return mailbox.isEmpty(); }
    static ImapFolderRef storeRoot(int store) { return {store, {}, {}}; }
    static ImapFolderRef inbox(int store);
};

inline constexpr const char* kInboxMailbox = "INBOX";
inline constexpr const char* kInboxName = "Inbox";
inline constexpr const char* kDeletedItemsName = "Deleted Items";

} // namespace kestrel::platform::imap
