// Acting on many items: sets of one backend's batch actions go together,
// other items one at a time.

#include "MailPlatform.h"

namespace kestrel::platform {

namespace {

enum class Action { Move, Copy, Delete };

ItemOutcome actOnOne(MailItem& item, Action action, Folder* destination)
{
    ItemOutcome outcome;
    switch (action) {
    case Action::Move:
        outcome.moved = item.move(*destination);
        outcome.done = outcome.moved != nullptr;
        break;
    case Action::Copy:
        outcome.done = item.copyTo(*destination);
        break;
    case Action::Delete:
        outcome.done = item.deleteItem();
        break;
    }
    if (outcome.done && action != Action::Move)
        outcome.moved = item.takeMade();
    if (!outcome.done)
        outcome.error = item.lastError();
    return outcome;
}

std::vector<ItemOutcome> actOnAll(std::span<MailItem* const> items, Action action,
                                  Folder* destination)
{
    std::vector<ItemOutcome> outcomes;
    outcomes.reserve(items.size());
    std::size_t i = 0;
    while (i < items.size()) {
        BatchActions* batch = items[i] ? items[i]->batchActions() : nullptr;
        if (!batch) {
            if (items[i]) {
                outcomes.push_back(actOnOne(*items[i], action, destination));
            } else {
                ItemOutcome missing;
                missing.error = {ErrorKind::Invalid, -1, QStringLiteral("No message"), {}};
                outcomes.push_back(std::move(missing));
            }
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < items.size() && items[end] && items[end]->batchActions() == batch)
            ++end;
        const std::span<MailItem* const> set = items.subspan(i, end - i);
        std::vector<ItemOutcome> done;
        switch (action) {
        case Action::Move:
            done = batch->move(set, *destination);
            break;
        case Action::Copy:
            done = batch->copy(set, *destination);
            break;
        case Action::Delete:
            done = batch->remove(set);
            break;
        }
        // A backend that answers for fewer items than it was given has not
        // acted on the rest as far as anyone can tell.
        done.resize(set.size());
        for (std::size_t k = 0; k < set.size(); ++k) {
            if (!done[k].done && done[k].error.ok())
                done[k].error = {
                    ErrorKind::Io, -1, QStringLiteral("No result for this message"), {}};
            outcomes.push_back(std::move(done[k]));
        }
        i = end;
    }
    return outcomes;
}

} // namespace

std::vector<ItemOutcome> moveItems(std::span<MailItem* const> items, Folder& destination)
{
    return actOnAll(items, Action::Move, &destination);
}

std::vector<ItemOutcome> copyItems(std::span<MailItem* const> items, Folder& destination)
{
    return actOnAll(items, Action::Copy, &destination);
}

std::vector<ItemOutcome> deleteItems(std::span<MailItem* const> items)
{
    return actOnAll(items, Action::Delete, nullptr);
}

} // namespace kestrel::platform
