#include "PendingItems.h"

#include "TaskCounters.h"
#include "TaskSettings.h"

#include <algorithm>

namespace kestrel::engine {

bool PendingItems::IsUsedFor(const TaskSettings& settings)
{
    if (settings.PreviewMode)
        return false;
    switch (TaskAction(settings.Action)) {
    case TaskAction::Delete:
        return true;
    case TaskAction::Move:
    case TaskAction::Copy:
        return !settings.DestinationIsDisk;
    }
    return false;
}

PendingItems::PendingItems(int action, platform::Session* session, platform::Folder* destination)
    : m_action(action), m_session(session), m_destination(destination)
{
}

bool PendingItems::add(Entry entry)
{
    platform::MailItem& target =
        TaskAction(m_action) == TaskAction::Delete ? *entry.item : *entry.message;
    const platform::BatchActions* batch = target.batchActions();
    m_entries.push_back(std::move(entry));
    if (!batch)
        return true;
    const std::size_t full = std::clamp<std::size_t>(
        batch->preferredSetSize(TaskAction(m_action) == TaskAction::Delete ? nullptr
                                                                           : m_destination),
        1, kLargestSet);
    return m_entries.size() >= full;
}

std::vector<PendingItems::Entry> PendingItems::actOn()
{
    std::vector<Entry> entries = std::move(m_entries);
    m_entries.clear();
    // The desktop client's delete acts on the listed item; moves and copies on
    // the session's message.
    const bool deleting = TaskAction(m_action) == TaskAction::Delete;
    std::vector<platform::MailItem*> targets;
    targets.reserve(entries.size());
    for (const Entry& entry : entries)
        targets.push_back(deleting ? entry.item.get() : entry.message.get());
    std::vector<platform::ItemOutcome> outcomes = act(targets);
    for (std::size_t k = 0; k < entries.size(); ++k)
        entries[k].outcome = std::move(outcomes[k]);
    return entries;
}

std::vector<platform::ItemOutcome> PendingItems::act(std::span<platform::MailItem* const> targets)
{
    const TaskAction action = TaskAction(m_action);
    if (action == TaskAction::Delete)
        return platform::deleteItems(targets);
    platform::PlatformError error{
        platform::ErrorKind::Invalid, -1, QStringLiteral("No destination folder"), {}};
    if (m_session && m_destination && (action == TaskAction::Move || action == TaskAction::Copy)) {
        if (!m_sessionDestination) {
            const std::optional<QString> id = m_destination->entryId();
            m_sessionDestination = id ? m_session->getFolderFromId(*id) : nullptr;
            if (!m_sessionDestination)
                error = id ? m_session->lastError() : m_destination->lastError();
        }
        if (m_sessionDestination)
            return action == TaskAction::Move ? platform::moveItems(targets, *m_sessionDestination)
                                              : platform::copyItems(targets, *m_sessionDestination);
    }
    std::vector<platform::ItemOutcome> failed(targets.size());
    for (platform::ItemOutcome& outcome : failed)
        outcome.error = error;
    return failed;
}

} // namespace kestrel::engine
