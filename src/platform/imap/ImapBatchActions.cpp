#include "ImapBatchActions.h"

#include "ImapBackend.h"
#include "ImapFolder.h"
#include "ImapFolderTree.h"
#include "ImapMailItem.h"

#include <QSet>

namespace kestrel::platform::imap {

namespace {

ImapMailItem* imapItem(MailItem* item)
{
    return static_cast<ImapMailItem*>(item); // every item of a set came from this object
}

PlatformError alreadyGone()
{
    return {ErrorKind::NotFound,
            -1,
            QStringLiteral("The message is no longer in its folder on the server (already "
                           "moved or deleted)"),
            {}};
}

void fail(std::vector<ItemOutcome>& out, qsizetype place, const PlatformError& error)
{
    out[size_t(place)].done = false;
    out[size_t(place)].error = error;
}

} // namespace

QList<ImapBatchActions::Group> ImapBatchActions::groupsOf(std::span<MailItem* const> items,
                                                          std::vector<ItemOutcome>& outcomes)
{
    QList<Group> groups;
    for (std::size_t i = 0; i < items.size(); ++i) {
        ImapMailItem* item = imapItem(items[i]);
        if (item->isGone()) {
            fail(outcomes, qsizetype(i),
                 {ErrorKind::NotFound, -1, QStringLiteral("The message was moved or deleted"), {}});
            continue;
        }
        auto found = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
            return g.mailbox == item->mailbox() && g.validity == item->validity();
        });
        if (found == groups.end()) {
            groups.append({item->mailbox(), item->validity(), {}});
            found = groups.end() - 1;
        }
        found->places.append(qsizetype(i));
    }
    return groups;
}

std::optional<QList<uint32_t>>
ImapBatchActions::present(const Group& group, const QList<uint32_t>& uids, PlatformError* error)
{
    QList<uint32_t> found;
    if (!m_backend.runIn(
            m_store, group.mailbox, group.validity, ImapConnection::Retry::Safe,
            QStringLiteral("Checking which messages are still there"),
            [&](mailimap* session) {
                found.clear();
                return presentUids(session, uids, found);
            },
            error))
        return std::nullopt;
    return found;
}

bool ImapBatchActions::removeUids(const Group& group, const QList<uint32_t>& uids,
                                  PlatformError* error)
{
    if (uids.isEmpty())
        return true;
    if (!m_backend.connection(m_store).hasCapability("UIDPLUS")) {
        *error = {ErrorKind::Unsupported,
                  -1,
                  QStringLiteral("The server cannot remove only these messages (it has no "
                                 "UIDPLUS), and an EXPUNGE of the whole folder would take other "
                                 "deleted mail with it"),
                  {}};
        return false;
    }
    const bool removed = m_backend.runIn(
        m_store, group.mailbox, group.validity, ImapConnection::Retry::Safe,
        QStringLiteral("Removing messages"),
        [&](mailimap* session) {
            const int code = storeDeleted(session, uids);
            return code != 0 ? code : expungeUids(session, uids);
        },
        error);
    if (removed)
        m_backend.forget(m_store, group.mailbox, uids);
    return removed;
}

void ImapBatchActions::expunge(const Group& group, std::span<MailItem* const> items,
                               std::vector<ItemOutcome>& out)
{
    for (qsizetype start = 0; start < group.places.size(); start += kActionChunk) {
        const QList<qsizetype> places = group.places.mid(start, kActionChunk);
        QList<uint32_t> uids;
        for (qsizetype place : places)
            uids.append(imapItem(items[size_t(place)])->uid());
        PlatformError error;
        const std::optional<QList<uint32_t>> there = present(group, uids, &error);
        QSet<uint32_t> still;
        if (there) {
            still = QSet<uint32_t>(there->cbegin(), there->cend());
            removeUids(group, *there, &error);
        }
        for (qsizetype place : places) {
            ImapMailItem* item = imapItem(items[size_t(place)]);
            if (!there || !error.ok()) {
                fail(out, place, error);
            } else if (!still.contains(item->uid())) {
                fail(out, place, alreadyGone());
            } else {
                out[size_t(place)].done = true;
                item->markGone();
            }
        }
    }
}

void ImapBatchActions::moveInServer(const Group& group, const QList<uint32_t>& uids,
                                    const QByteArray& target, CopyResult& result,
                                    PlatformError* error)
{
    ImapConnection& connection = m_backend.connection(m_store);
    const bool hasMove = connection.hasCapability("MOVE");
    auto command = [&](const QList<uint32_t>& set) {
        return [&, set](mailimap* session) {
            return hasMove ? moveUids(session, set, target, result)
                           : copyUids(session, set, target, result);
        };
    };
    bool dropped = false;
    result = {};
    if (m_backend.runIn(m_store, group.mailbox, group.validity, ImapConnection::Retry::Never,
                        hasMove ? QStringLiteral("Moving messages")
                                : QStringLiteral("Copying messages"),
                        command(uids), error, &dropped)) {
        if (hasMove)
            return;
        // COPY, then \Deleted and UID EXPUNGE of exactly the copied UIDs.
        const std::optional<QList<uint32_t>> copied =
            result.known ? std::optional(result.newUid.keys()) : present(group, uids, error);
        if (!copied)
            return;
        if (!removeUids(group, *copied, error)) {
            error->text = QStringLiteral("The messages were copied but cannot be removed from "
                                         "their folder; the copies stay in the destination: ") +
                          error->text;
            return;
        }
        if (!result.known) {
            for (uint32_t uid : *copied)
                result.newUid.insert(uid, 0);
            result.known = true;
        }
        return;
    }
    if (!dropped || !hasMove)
        return; // a COPY whose answer was lost cannot be told from one never made
    // The answer was lost: what left the folder was moved; the rest is moved once more.
    PlatformError recheck;
    const std::optional<QList<uint32_t>> still = present(group, uids, &recheck);
    if (!still) {
        error->text += QStringLiteral("; then: ") + recheck.text;
        return;
    }
    result = {};
    if (!still->isEmpty() &&
        !m_backend.runIn(m_store, group.mailbox, group.validity, ImapConnection::Retry::Never,
                         QStringLiteral("Moving messages"), command(*still), error))
        return;
    *error = {};
    for (uint32_t uid : uids) {
        if (!still->contains(uid))
            result.newUid.insert(uid, 0); // moved before the connection was lost, number unknown
    }
    result.known = true;
}

void ImapBatchActions::withinServer(const Group& group, std::span<MailItem* const> items,
                                    const ImapFolder& destination, Kind kind,
                                    std::vector<ItemOutcome>& out)
{
    const QByteArray target = destination.targetMailbox();
    std::shared_ptr<ImapBackend> backend = m_backend.shared_from_this();
    for (qsizetype start = 0; start < group.places.size(); start += kActionChunk) {
        const QList<qsizetype> places = group.places.mid(start, kActionChunk);
        QList<uint32_t> uids;
        for (qsizetype place : places)
            uids.append(imapItem(items[size_t(place)])->uid());
        PlatformError error;
        CopyResult result;
        if (kind == Kind::Move) {
            moveInServer(group, uids, target, result, &error);
        } else {
            bool dropped = false;
            m_backend.runIn(
                m_store, group.mailbox, group.validity, ImapConnection::Retry::Never,
                QStringLiteral("Copying messages"),
                [&](mailimap* session) { return copyUids(session, uids, target, result); }, &error,
                &dropped);
            if (dropped)
                error.text += QStringLiteral(" (the copies may have been made before)");
        }
        if (error.ok() && !result.known) {
            // No COPYUID: the command was carried out for every message still there.
            const std::optional<QList<uint32_t>> still =
                kind == Kind::Move ? present(group, uids, &error) : std::optional(uids);
            for (uint32_t uid : uids) {
                if (still && (kind == Kind::Copy || !still->contains(uid)))
                    result.newUid.insert(uid, 0);
            }
        }
        QList<uint32_t> moved;
        for (qsizetype place : places) {
            ImapMailItem* item = imapItem(items[size_t(place)]);
            ItemOutcome& outcome = out[size_t(place)];
            if (!error.ok()) {
                fail(out, place, error);
                continue;
            }
            const auto found = result.newUid.constFind(item->uid());
            if (found == result.newUid.cend()) {
                fail(out, place, alreadyGone());
                continue;
            }
            outcome.done = true;
            if (*found != 0) {
                // What the item knew stays true of the moved or copied message.
                MessageSummary kept = item->knownSummary();
                kept.uid = *found;
                outcome.moved = std::make_unique<ImapMailItem>(backend, m_store, target,
                                                               result.validity, std::move(kept));
            }
            if (kind == Kind::Move) {
                moved.append(item->uid());
                item->markGone();
            }
        }
        if (!moved.isEmpty())
            m_backend.forget(m_store, group.mailbox, moved);
    }
}

void ImapBatchActions::acrossStores(const Group& group, std::span<MailItem* const> items,
                                    Folder& destination, Kind kind, std::vector<ItemOutcome>& out)
{
    qsizetype start = 0;
    while (start < group.places.size()) {
        // A chunk bounded in count and bytes: memory stays small for any folder.
        QList<qsizetype> places;
        QList<uint32_t> uids;
        qint64 bytes = 0;
        while (start < group.places.size() && places.size() < kBodyChunk) {
            ImapMailItem* item = imapItem(items[size_t(group.places[start])]);
            const qint64 size = qMax<qint64>(item->size().value_or(0), 0);
            if (!places.isEmpty() && bytes + size > kBodyChunkBytes)
                break;
            bytes += size;
            places.append(group.places[start]);
            uids.append(item->uid());
            ++start;
        }
        PlatformError error;
        QHash<uint32_t, RawMessage> bodies;
        m_backend.runIn(
            m_store, group.mailbox, group.validity, ImapConnection::Retry::Safe,
            QStringLiteral("Reading messages"),
            [&](mailimap* session) {
                bodies.clear();
                return fetchMessages(session, uids, bodies);
            },
            &error);
        QList<uint32_t> appended;
        for (qsizetype place : places) {
            ImapMailItem* item = imapItem(items[size_t(place)]);
            ItemOutcome& outcome = out[size_t(place)];
            if (!error.ok()) {
                fail(out, place, error);
                continue;
            }
            const auto body = bodies.constFind(item->uid());
            if (body == bodies.cend()) {
                fail(out, place, alreadyGone());
                continue;
            }
            std::unique_ptr<MailItem> stored = destination.append(*body);
            if (!stored) {
                fail(out, place, destination.lastError());
                continue;
            }
            appended.append(item->uid());
            outcome.done = true;
            outcome.moved = std::move(stored);
        }
        if (kind != Kind::Move || appended.isEmpty())
            continue;
        PlatformError removal;
        const bool removed = removeUids(group, appended, &removal);
        for (qsizetype place : places) {
            ImapMailItem* item = imapItem(items[size_t(place)]);
            if (!appended.contains(item->uid()))
                continue;
            if (removed) {
                item->markGone();
                continue;
            }
            // In both stores now: better than in neither, but not moved.
            removal.text = QStringLiteral("The message was copied but cannot be removed from "
                                          "the server; the copy stays in the destination: ") +
                           removal.text;
            out[size_t(place)].moved.reset();
            fail(out, place, removal);
        }
    }
}

std::size_t ImapBatchActions::preferredSetSize(Folder* destination) const
{
    // Inside the server a set is one command whatever its size (twenty MOVEs
    // of 500 cost twice one of 10,000); a set leaving the server carries every
    // body through this program, so it stays small enough for Stop.
    auto* own = dynamic_cast<ImapFolder*>(destination);
    const bool sameStore =
        !destination || (own && own->backend() == &m_backend && own->ref().store == m_store);
    return sameStore ? 5000 : 200;
}

std::vector<ItemOutcome> ImapBatchActions::transfer(std::span<MailItem* const> items,
                                                    Folder& destination, Kind kind)
{
    std::vector<ItemOutcome> out(items.size());
    const QList<Group> groups = groupsOf(items, out);
    auto* own = dynamic_cast<ImapFolder*>(&destination);
    const bool sameStore = own && own->backend() == &m_backend && own->ref().store == m_store;
    for (const Group& group : groups) {
        if (sameStore)
            withinServer(group, items, *own, kind, out);
        else
            acrossStores(group, items, destination, kind, out);
    }
    return out;
}

std::vector<ItemOutcome> ImapBatchActions::move(std::span<MailItem* const> items,
                                                Folder& destination)
{
    return transfer(items, destination, Kind::Move);
}

std::vector<ItemOutcome> ImapBatchActions::copy(std::span<MailItem* const> items,
                                                Folder& destination)
{
    return transfer(items, destination, Kind::Copy);
}

std::vector<ItemOutcome> ImapBatchActions::removePermanently(std::span<MailItem* const> items)
{
    std::vector<ItemOutcome> out(items.size());
    for (const Group& group : groupsOf(items, out))
        expunge(group, items, out);
    return out;
}

std::vector<ItemOutcome> ImapBatchActions::remove(std::span<MailItem* const> items)
{
    std::vector<ItemOutcome> out(items.size());
    const QList<Group> groups = groupsOf(items, out);
    ImapFolderTree tree(m_backend, m_store);
    std::optional<ImapFolderRef> bin;
    PlatformError binError;
    for (const Group& group : groups) {
        if (tree.isTrash(group.mailbox)) {
            expunge(group, items, out);
            continue;
        }
        if (!bin)
            bin = tree.trash(&binError);
        if (!bin) {
            for (qsizetype place : group.places)
                fail(out, place, binError);
            continue;
        }
        const ImapFolder trash(m_backend.shared_from_this(), *bin);
        withinServer(group, items, trash, Kind::Move, out);
    }
    return out;
}

} // namespace kestrel::platform::imap
