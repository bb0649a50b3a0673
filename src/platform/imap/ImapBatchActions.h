#pragma once

// Move, copy and delete for sets of one store's messages, one command per
// set instead of per message: inside the server UID MOVE (or UID COPY, then
// \Deleted and UID EXPUNGE of exactly those UIDs, never a bare EXPUNGE);
// to a folder of another store the bodies are fetched in chunks, each
// appended there durably, and only those appended leave the server.

#include "../MailPlatform.h"
#include "ImapCommands.h"

#include <QByteArray>
#include <QList>

#include <functional>

namespace kestrel::platform::imap {

class ImapBackend;
class ImapFolder;
class ImapMailItem;

class ImapBatchActions : public BatchActions {
public:
    ImapBatchActions(ImapBackend& backend, int store) : m_backend(backend), m_store(store) {}

    std::vector<ItemOutcome> move(std::span<MailItem* const> items, Folder& destination) override;
    std::vector<ItemOutcome> copy(std::span<MailItem* const> items, Folder& destination) override;
    std::vector<ItemOutcome> remove(std::span<MailItem* const> items) override;
    std::size_t preferredSetSize(Folder* destination) const override;
    // Removed for good: \Deleted and UID EXPUNGE.
    std::vector<ItemOutcome> removePermanently(std::span<MailItem* const> items);

private:
    // Items of one mailbox under one UIDVALIDITY, by their place in the set.
    struct Group {
        QByteArray mailbox;
        uint32_t validity = 0;
        QList<qsizetype> places;
    };
    enum class Kind { Move, Copy };

    QList<Group> groupsOf(std::span<MailItem* const> items, std::vector<ItemOutcome>& outcomes);
    std::vector<ItemOutcome> transfer(std::span<MailItem* const> items, Folder& destination,
                                      Kind kind);
    void withinServer(const Group& group, std::span<MailItem* const> items,
                      const ImapFolder& destination, Kind kind, std::vector<ItemOutcome>& out);
    void moveInServer(const Group& group, const QList<uint32_t>& uids, const QByteArray& target,
                      CopyResult& result, PlatformError* error);
    void acrossStores(const Group& group, std::span<MailItem* const> items, Folder& destination,
                      Kind kind, std::vector<ItemOutcome>& out);
    void expunge(const Group& group, std::span<MailItem* const> items,
                 std::vector<ItemOutcome>& out);
    // \Deleted and UID EXPUNGE of uids, repeated after a dropped connection
    // (both may safely be sent twice).
    bool removeUids(const Group& group, const QList<uint32_t>& uids, PlatformError* error);
    // The UIDs of uids still in the group's mailbox.
    std::optional<QList<uint32_t>> present(const Group& group, const QList<uint32_t>& uids,
                                           PlatformError* error);

    ImapBackend& m_backend;
    int m_store;
};

// Sets are sent in chunks of this many UIDs, so that one command stays a
// reasonable size and a Stop takes effect between them.
inline constexpr int kActionChunk = 5000;
// Messages fetched at once for another store: at most this many, and this many bytes.
inline constexpr int kBodyChunk = 200;
inline constexpr qint64 kBodyChunkBytes = 16 * 1024 * 1024;

} // namespace kestrel::platform::imap
