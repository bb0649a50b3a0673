#pragma once

// State shared by every object of one IMAP application: the profile, one
// connection per usable store, the mailbox list of each store, and the last
// listing of each mailbox (its UIDs in order and what FETCH told about each),
// so that an item found again by its identifier costs no round trip and the
// bodies of items taken one after the other are fetched several at a time.

#include "../MailPlatform.h"
#include "../MailProfile.h"
#include "ImapCommands.h"
#include "ImapConnection.h"
#include "ImapFolderRef.h"

#include <QHash>
#include <QList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrel::platform::imap {

class ImapBatchActions;

// One listing of a mailbox: UIDs ascending, with their summaries.
struct Listing {
    uint32_t validity = 0;
    QList<uint32_t> uids;
    QHash<uint32_t, MessageSummary> summaries;
};

class ImapBackend : public std::enable_shared_from_this<ImapBackend> {
public:
    explicit ImapBackend(MailProfile profile);
    ~ImapBackend();

    const MailProfile& profile() const { return m_profile; }
    bool loggedOn = false;
    QList<PlatformError> leftOut; // stores of the profile that cannot be used

    // Connects every store of the profile the first time; those that fail go
    // to leftOut.
    void logon();
    void logoff();

    int storeCount() const { return int(m_stores.size()); }
    const QString& storeName(int store) const { return m_stores[size_t(store)].name; }
    int storeIndex(const QString& name) const; // -1 when unknown
    ImapConnection& connection(int store) { return *m_stores[size_t(store)].connection; }
    ImapBatchActions& batchActions(int store);

    // The store's mailboxes: listed again after a change, when asked (fresh),
    // and when the list is older than a few seconds (other clients change it).
    const QList<MailboxInfo>* mailboxes(int store, PlatformError* error, bool fresh = false);
    void forgetMailboxes(int store);

    // The last listing of a mailbox, or nullptr.
    std::shared_ptr<const Listing> listing(int store, const QByteArray& mailbox) const;
    void setListing(int store, const QByteArray& mailbox, std::shared_ptr<const Listing> listing);
    // A summary of uid: from the listing when it holds it, else fetched.
    std::optional<MessageSummary> summary(int store, const QByteArray& mailbox, uint32_t validity,
                                          uint32_t uid, PlatformError* error);
    // The whole message; the next messages of the listing in the direction
    // the caller is walking are fetched with it, a bounded number of bytes.
    std::optional<RawMessage> message(int store, const QByteArray& mailbox, uint32_t validity,
                                      uint32_t uid, PlatformError* error);
    // Messages that left a mailbox: forgotten by its listing and read-ahead.
    void forget(int store, const QByteArray& mailbox, const QList<uint32_t>& uids);

    // Runs body on the store's connection with mailbox selected; fails with
    // validityChanged when validity is given and the mailbox's is another.
    bool runIn(int store, const QByteArray& mailbox, uint32_t validity, ImapConnection::Retry retry,
               const QString& what, const std::function<int(mailimap*)>& body, PlatformError* error,
               bool* dropped = nullptr);
    static PlatformError validityChanged(const QByteArray& mailbox);

private:
    struct Store {
        QString name;
        std::unique_ptr<ImapConnection> connection;
        std::unique_ptr<ImapBatchActions> batch;
        std::optional<QList<MailboxInfo>> mailboxes;
        qint64 listedAt = 0; // monotonic ms
    };
    struct ReadAhead {
        int store = -1;
        QByteArray mailbox;
        uint32_t validity = 0;
        uint32_t lastUid = 0;
        int direction = 0; // +1 ascending, -1 descending, 0 unknown
        QHash<uint32_t, RawMessage> bodies;
    };
    QList<uint32_t> readAheadSet(const Listing& listing, uint32_t uid, int direction) const;

    MailProfile m_profile;
    bool m_opened = false;
    std::vector<Store> m_stores;
    QHash<QString, std::shared_ptr<const Listing>> m_listings; // by store + mailbox
    ReadAhead m_readAhead;
};

// Fetch and read-ahead sizes: a few thousand summaries per FETCH, bodies
// a few at a time and never more than a few megabytes held.
inline constexpr int kSummaryChunk = 2000;
inline constexpr int kReadAheadCount = 16;
inline constexpr qint64 kReadAheadBytes = 16 * 1024 * 1024;

} // namespace kestrel::platform::imap
