#pragma once

// Items chosen for a Move, Copy or Delete in a store, waiting to be acted on
// together: a backend behind a network then gets one command per set instead
// of one round trip per item. An item of a backend that acts on one item at a
// time asks to be acted on at once, so a run over such items goes item by
// item.

#include "platform/MailPlatform.h"

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace kestrel::engine {

struct TaskSettings;

class PendingItems {
public:
    // The largest set handed to a backend at once, whatever it prefers.
    static constexpr std::size_t kLargestSet = 5000;

    struct Entry {
        std::unique_ptr<platform::MailItem> item;    // as listed in the source folder
        std::unique_ptr<platform::MailItem> message; // the same message through the session
        platform::ItemOutcome outcome;               // set when acted on
    };

    // Whether the run's items wait in sets: a Move, Copy or Delete that is no
    // preview and writes no .msg files.
    static bool IsUsedFor(const TaskSettings& settings);

    // destination: the mirrored folder of a Move or Copy, as the caller found it.
    PendingItems(int action, platform::Session* session, platform::Folder* destination);

    // Takes the item to wait; true when the set is to be acted on now.
    bool add(Entry entry);
    bool isEmpty() const { return m_entries.empty(); }
    // Acts on every waiting item and hands them back, each with its outcome,
    // in the order they came.
    std::vector<Entry> actOn();

private:
    std::vector<platform::ItemOutcome> act(std::span<platform::MailItem* const> targets);

    int m_action;
    platform::Session* m_session;
    platform::Folder* m_destination;
    // The destination as the session sees it, found for the first set and
    // kept: a backend that acts item by item would look for it once an item.
    std::unique_ptr<platform::Folder> m_sessionDestination;
    std::vector<Entry> m_entries;
};

} // namespace kestrel::engine
