#include "ImapItemCollection.h"

#include "../DateRestriction.h"
#include "ImapFolderTree.h"
#include "ImapMailItem.h"

#include <libetpan/libetpan.h>

namespace kestrel::platform::imap {

namespace {

mailimap_date* dateOf(const QDate& day)
{
    return mailimap_date_new(day.day(), day.month(), day.year());
}

// The server compares dates only, in the zone each message was stored
// with: the day range is widened by two days on each side, and the minute
// bounds are applied to what comes back.
mailimap_search_key* keyOf(const DateRestriction::Comparison& c)
{
    const QDate day = QDateTime::fromMSecsSinceEpoch(c.minute * 60000).date();
    const bool sent = c.property == DateProperty::SentOn;
    const bool lower = c.op != DateRestriction::Op::LessEqual && c.op != DateRestriction::Op::Less;
    const bool upper =
        c.op != DateRestriction::Op::GreaterEqual && c.op != DateRestriction::Op::Greater;
    mailimap_search_key* key = mailimap_search_key_new_multiple_empty();
    if (lower) {
        mailimap_date* since = dateOf(day.addDays(-2));
        mailimap_search_key_multiple_add(key, sent ? mailimap_search_key_new_sentsince(since)
                                                   : mailimap_search_key_new_since(since));
    }
    if (upper) {
        mailimap_date* before = dateOf(day.addDays(3));
        mailimap_search_key_multiple_add(key, sent ? mailimap_search_key_new_sentbefore(before)
                                                   : mailimap_search_key_new_before(before));
    }
    return key;
}

mailimap_search_key* keyOf(const DateRestriction& restriction)
{
    mailimap_search_key* any = nullptr;
    for (const DateRestriction::Clause& clause : restriction.clauses()) {
        mailimap_search_key* all = mailimap_search_key_new_multiple_empty();
        for (const DateRestriction::Comparison& c : clause)
            mailimap_search_key_multiple_add(all, keyOf(c));
        any = any ? mailimap_search_key_new_or(any, all) : all;
    }
    return any;
}

std::optional<qint64> valueOf(const MessageSummary& summary, DateProperty property)
{
    if (property == DateProperty::SentOn)
        return summary.sent;
    // Received, created and last changed are all the INTERNALDATE here.
    return summary.received >= 0 ? std::optional<qint64>(summary.received) : std::nullopt;
}

} // namespace

ImapItemCollection::ImapItemCollection(std::shared_ptr<ImapBackend> backend, ImapFolderRef folder)
    : m_backend(std::move(backend)), m_folder(std::move(folder))
{
}

ImapItemCollection::ImapItemCollection(std::shared_ptr<ImapBackend> backend, ImapFolderRef folder,
                                       std::shared_ptr<const Listing> listing)
    : m_backend(std::move(backend)), m_folder(std::move(folder)), m_listing(std::move(listing))
{
}

bool ImapItemCollection::holdsMessages(PlatformError* error)
{
    // The store root and a level that only groups others hold no messages.
    return !m_folder.isStoreRoot() &&
           ImapFolderTree(*m_backend, m_folder.store).selectable(m_folder.mailbox, error);
}

std::shared_ptr<Listing> ImapItemCollection::fetchListing(QList<uint32_t> uids, uint32_t validity,
                                                          PlatformError* error)
{
    auto listing = std::make_shared<Listing>();
    listing->validity = validity;
    listing->summaries.reserve(uids.size());
    for (qsizetype start = 0; start < uids.size(); start += kSummaryChunk) {
        const QList<uint32_t> chunk = uids.mid(start, kSummaryChunk);
        QList<MessageSummary> fetched;
        if (!m_backend->runIn(
                m_folder.store, m_folder.mailbox, validity, ImapConnection::Retry::Safe,
                QStringLiteral("Reading the messages of \"%1\"").arg(displayPath(m_folder.mailbox)),
                [&](mailimap* session) {
                    fetched.clear();
                    return fetchSummaries(session, chunk, fetched);
                },
                error))
            return nullptr;
        for (MessageSummary& summary : fetched)
            listing->summaries.insert(summary.uid, std::move(summary));
    }
    // A message expunged meanwhile answers no FETCH: it is not listed.
    for (uint32_t uid : uids) {
        if (listing->summaries.contains(uid))
            listing->uids.append(uid);
    }
    return listing;
}

std::unique_ptr<ItemCollection> ImapItemCollection::restrict(const QString& filter)
{
    QString problem;
    const std::optional<DateRestriction> parsed = DateRestriction::parse(filter, &problem);
    if (!parsed) {
        setError(ErrorKind::Invalid, QStringLiteral("The filter cannot be parsed"), problem);
        return nullptr;
    }
    PlatformError error;
    auto empty = std::make_shared<Listing>();
    if (parsed->clauses().isEmpty() || !holdsMessages(&error)) {
        if (!error.ok()) {
            setError(error);
            return nullptr;
        }
        clearError();
        return std::make_unique<ImapItemCollection>(m_backend, m_folder, empty);
    }
    QList<uint32_t> found;
    uint32_t validity = 0;
    ImapConnection& connection = m_backend->connection(m_folder.store);
    if (!m_backend->runIn(
            m_folder.store, m_folder.mailbox, 0, ImapConnection::Retry::Safe,
            QStringLiteral("Searching \"%1\"").arg(displayPath(m_folder.mailbox)),
            [&](mailimap* session) {
                found.clear();
                validity = connection.selectedValidity();
                return searchUids(session, keyOf(*parsed), found);
            },
            &error)) {
        setError(error);
        return nullptr;
    }
    std::shared_ptr<Listing> fetched = fetchListing(found, validity, &error);
    if (!fetched) {
        setError(error);
        return nullptr;
    }
    auto matching = std::make_shared<Listing>();
    matching->validity = validity;
    for (uint32_t uid : fetched->uids) {
        const MessageSummary& summary = fetched->summaries[uid];
        if (parsed->matches([&](DateProperty p) { return valueOf(summary, p); })) {
            matching->uids.append(uid);
            matching->summaries.insert(uid, summary);
        }
    }
    m_backend->setListing(m_folder.store, m_folder.mailbox, matching);
    clearError();
    return std::make_unique<ImapItemCollection>(m_backend, m_folder, std::move(matching));
}

const Listing* ImapItemCollection::listing()
{
    if (m_listing)
        return m_listing.get();
    PlatformError error;
    if (!holdsMessages(&error)) {
        if (!error.ok()) {
            setError(error);
            return nullptr;
        }
        m_listing = std::make_shared<Listing>();
        return m_listing.get();
    }
    QList<uint32_t> all;
    uint32_t validity = 0;
    ImapConnection& connection = m_backend->connection(m_folder.store);
    if (!m_backend->runIn(
            m_folder.store, m_folder.mailbox, 0, ImapConnection::Retry::Safe,
            QStringLiteral("Listing \"%1\"").arg(displayPath(m_folder.mailbox)),
            [&](mailimap* session) {
                all.clear();
                validity = connection.selectedValidity();
                return searchUids(session, nullptr, all);
            },
            &error)) {
        setError(error);
        return nullptr;
    }
    std::shared_ptr<Listing> fetched = fetchListing(all, validity, &error);
    if (!fetched) {
        setError(error);
        return nullptr;
    }
    m_backend->setListing(m_folder.store, m_folder.mailbox, fetched);
    m_listing = std::move(fetched);
    return m_listing.get();
}

std::optional<qint64> ImapItemCollection::count()
{
    if (m_listing) {
        clearError();
        return m_listing->uids.size();
    }
    // The tree's counts: STATUS, without selecting or listing anything.
    PlatformError error;
    if (!holdsMessages(&error)) {
        if (!error.ok()) {
            setError(error);
            return std::nullopt;
        }
        clearError();
        return 0;
    }
    uint32_t messages = 0;
    if (!m_backend->connection(m_folder.store)
             .run(
                 [&](mailimap* session) {
                     return statusOf(session, m_folder.mailbox, &messages, nullptr);
                 },
                 ImapConnection::Retry::Safe,
                 QStringLiteral("Counting \"%1\"").arg(displayPath(m_folder.mailbox)), &error)) {
        setError(error);
        return std::nullopt;
    }
    clearError();
    return messages;
}

std::unique_ptr<MailItem> ImapItemCollection::item(qint64 index)
{
    const Listing* all = listing();
    if (!all)
        return nullptr;
    if (index < 1 || index > all->uids.size()) {
        setError(ErrorKind::NotFound, QStringLiteral("No item at this position"),
                 QString::number(index));
        return nullptr;
    }
    const uint32_t uid = all->uids.at(index - 1);
    clearError();
    return std::make_unique<ImapMailItem>(m_backend, m_folder.store, m_folder.mailbox,
                                          all->validity, all->summaries.value(uid));
}

} // namespace kestrel::platform::imap
