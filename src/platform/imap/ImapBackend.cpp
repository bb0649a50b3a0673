#include "ImapBackend.h"

#include "ImapAccount.h"
#include "ImapBatchActions.h"
#include "ImapFolderTree.h"

#include <chrono>
#include <libetpan/libetpan.h>

namespace kestrel::platform::imap {

namespace {

QString listingKey(int store, const QByteArray& mailbox)
{
    return QString::number(store) + '\n' + QString::fromLatin1(mailbox.toHex());
}

} // namespace

ImapFolderRef ImapFolderRef::inbox(int store)
{
    return {store, QByteArray(kInboxMailbox), {QLatin1String(kInboxName)}};
}

ImapBackend::ImapBackend(MailProfile profile) : m_profile(std::move(profile)) {}

ImapBackend::~ImapBackend() = default;

void ImapBackend::logon()
{
    if (loggedOn)
        return;
    loggedOn = true;
    // Stores are opened once: objects handed out keep their store's position,
    // and after a logoff their connection opens again when they are used.
    if (m_opened)
        return;
    m_opened = true;
    for (const StoreEntry& entry : m_profile.stores) {
        PlatformError error;
        std::optional<ImapAccount> account = ImapAccount::fromStore(entry, &error);
        auto connection = account ? std::make_unique<ImapConnection>(*account)
                                  : std::unique_ptr<ImapConnection>();
        if (connection && !connection->open(&error))
            connection.reset();
        if (!connection) {
            error.text =
                QStringLiteral("The store \"%1\" cannot be opened: %2").arg(entry.name, error.text);
            leftOut.append(error);
            continue;
        }
        Store store;
        store.name = entry.name;
        store.connection = std::move(connection);
        m_stores.push_back(std::move(store));
    }
}

void ImapBackend::logoff()
{
    for (Store& store : m_stores)
        store.connection->close();
    m_listings.clear();
    m_readAhead = {};
    loggedOn = false;
}

int ImapBackend::storeIndex(const QString& name) const
{
    for (size_t i = 0; i < m_stores.size(); ++i) {
        if (m_stores[i].name == name)
            return int(i);
    }
    return -1;
}

ImapBatchActions& ImapBackend::batchActions(int store)
{
    Store& s = m_stores[size_t(store)];
    if (!s.batch)
        s.batch = std::make_unique<ImapBatchActions>(*this, store);
    return *s.batch;
}

const QList<MailboxInfo>* ImapBackend::mailboxes(int store, PlatformError* error, bool fresh)
{
    constexpr qint64 kListKeptMs = 5000;
    Store& s = m_stores[size_t(store)];
    const qint64 now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    if (s.mailboxes && !fresh && now - s.listedAt < kListKeptMs)
        return &*s.mailboxes;
    QList<MailboxInfo> listed;
    if (!s.connection->run(
            [&](mailimap* session) {
                listed.clear();
                return listMailboxes(session, listed);
            },
            ImapConnection::Retry::Safe, QStringLiteral("Listing the folders"), error))
        return nullptr;
    s.mailboxes = std::move(listed);
    s.listedAt = now;
    return &*s.mailboxes;
}

void ImapBackend::forgetMailboxes(int store)
{
    m_stores[size_t(store)].mailboxes.reset();
}

std::shared_ptr<const Listing> ImapBackend::listing(int store, const QByteArray& mailbox) const
{
    return m_listings.value(listingKey(store, mailbox));
}

void ImapBackend::setListing(int store, const QByteArray& mailbox,
                             std::shared_ptr<const Listing> listing)
{
    m_listings.insert(listingKey(store, mailbox), std::move(listing));
}

PlatformError ImapBackend::validityChanged(const QByteArray& mailbox)
{
    return {ErrorKind::Invalid, -1,
            QStringLiteral("The folder \"%1\" was rebuilt on the server (its UIDVALIDITY "
                           "changed): its messages have new numbers and must be listed again")
                .arg(displayPath(mailbox)),
            QString::fromUtf8(mailbox)};
}

bool ImapBackend::runIn(int store, const QByteArray& mailbox, uint32_t validity,
                        ImapConnection::Retry retry, const QString& what,
                        const std::function<int(mailimap*)>& body, PlatformError* error,
                        bool* dropped)
{
    ImapConnection& conn = connection(store);
    bool changed = false;
    bool refusedBody = false;
    auto selected = [&](mailimap* session) {
        changed = false;
        refusedBody = false;
        const int code = conn.select(session, mailbox);
        if (code != MAILIMAP_NO_ERROR)
            return code;
        if (validity != 0 && conn.selectedValidity() != validity) {
            changed = true;
            return int(MAILIMAP_NO_ERROR);
        }
        const int result = body(session);
        refusedBody = result != MAILIMAP_NO_ERROR && !isConnectionFailure(result);
        return result;
    };
    bool lost = false;
    bool ran = conn.run(selected, retry, what, error, &lost);
    if (!ran && refusedBody) {
        // The session's view may be older than the mailbox: a message another
        // client expunged makes the server refuse a whole set that names it.
        // NOOP brings the view up to date; a refused command changed nothing,
        // so it is sent once more.
        PlatformError ignored;
        if (conn.run([](mailimap* session) { return mailimap_noop(session); },
                     ImapConnection::Retry::Never, QStringLiteral("NOOP"), &ignored))
            ran = conn.run(selected, retry, what, error, &lost);
    }
    if (dropped)
        *dropped = lost;
    if (ran && changed) {
        *error = validityChanged(mailbox);
        return false;
    }
    return ran;
}

std::optional<MessageSummary> ImapBackend::summary(int store, const QByteArray& mailbox,
                                                   uint32_t validity, uint32_t uid,
                                                   PlatformError* error)
{
    if (const std::shared_ptr<const Listing> known = listing(store, mailbox);
        known && known->validity == validity) {
        const auto found = known->summaries.constFind(uid);
        if (found != known->summaries.cend())
            return *found;
    }
    QList<MessageSummary> fetched;
    if (!runIn(
            store, mailbox, validity, ImapConnection::Retry::Safe,
            QStringLiteral("Reading a message"),
            [&](mailimap* session) {
                fetched.clear();
                return fetchSummaries(session, {uid}, fetched);
            },
            error))
        return std::nullopt;
    if (fetched.isEmpty() || fetched.first().uid != uid) {
        *error = {ErrorKind::NotFound, -1,
                  QStringLiteral("The message is no longer in the folder on the server"),
                  QString::fromUtf8(mailbox)};
        return std::nullopt;
    }
    return fetched.first();
}

QList<uint32_t> ImapBackend::readAheadSet(const Listing& listing, uint32_t uid, int direction) const
{
    QList<uint32_t> set{uid};
    const qsizetype at = listing.uids.indexOf(uid);
    if (at < 0 || direction == 0)
        return set;
    qint64 bytes = listing.summaries.value(uid).size;
    for (qsizetype i = at + direction;
         i >= 0 && i < listing.uids.size() && set.size() < kReadAheadCount; i += direction) {
        const qint64 size = listing.summaries.value(listing.uids[i]).size;
        if (bytes + qMax<qint64>(size, 0) > kReadAheadBytes)
            break;
        bytes += qMax<qint64>(size, 0);
        set.append(listing.uids[i]);
    }
    return set;
}

std::optional<RawMessage> ImapBackend::message(int store, const QByteArray& mailbox,
                                               uint32_t validity, uint32_t uid,
                                               PlatformError* error)
{
    ReadAhead& ahead = m_readAhead;
    const bool sameFolder =
        ahead.store == store && ahead.mailbox == mailbox && ahead.validity == validity;
    if (sameFolder) {
        auto found = ahead.bodies.find(uid);
        if (found != ahead.bodies.end()) {
            RawMessage message = std::move(*found);
            ahead.bodies.erase(found);
            ahead.lastUid = uid;
            return message;
        }
    }
    const int direction = sameFolder && ahead.lastUid != 0 ? (uid > ahead.lastUid ? 1 : -1) : 0;
    const std::shared_ptr<const Listing> known = listing(store, mailbox);
    const QList<uint32_t> set = known && known->validity == validity
                                    ? readAheadSet(*known, uid, direction)
                                    : QList<uint32_t>{uid};
    QHash<uint32_t, RawMessage> fetched;
    if (!runIn(
            store, mailbox, validity, ImapConnection::Retry::Safe,
            QStringLiteral("Reading a message"),
            [&](mailimap* session) {
                fetched.clear();
                return fetchMessages(session, set, fetched);
            },
            error))
        return std::nullopt;
    auto found = fetched.find(uid);
    if (found == fetched.end()) {
        *error = {ErrorKind::NotFound, -1,
                  QStringLiteral("The message is no longer in the folder on the server"),
                  QString::fromUtf8(mailbox)};
        return std::nullopt;
    }
    RawMessage message = std::move(*found);
    fetched.erase(found);
    ahead = {store, mailbox, validity, uid, direction, std::move(fetched)};
    return message;
}

void ImapBackend::forget(int store, const QByteArray& mailbox, const QList<uint32_t>& uids)
{
    if (m_readAhead.store == store && m_readAhead.mailbox == mailbox) {
        for (uint32_t uid : uids)
            m_readAhead.bodies.remove(uid);
    }
    // Listings are shared with collections that still hand out their items:
    // those items find the message gone when they act on it.
}

} // namespace kestrel::platform::imap
