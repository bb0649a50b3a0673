#pragma once

// One ticked folder of a store source: the date restriction, the mirrored
// destination, and the walk over the matching items from the last to the
// first.

#include "PendingItems.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace kestrel::platform {
class MailItem;
class Namespace;
} // namespace kestrel::platform

namespace kestrel::engine {

class ItemActions;
class ProgressPainter;
struct TaskCounters;
struct TaskRunFlags;
struct TaskSettings;

// Whether a message read from a disk file passes the task's date, No-Archive
// and unread rules. Dates are compared to the second. nullopt when a property
// cannot be read: the caller decides what follows.
std::optional<bool> IsFilterOkay(const TaskSettings& settings, platform::MailItem& message);

class FolderProcessor {
public:
    FolderProcessor(const TaskSettings& settings, platform::Namespace& ns, ItemActions& actions,
                    TaskCounters& counters, const TaskRunFlags& flags, ProgressPainter& progress);

    // folderPath is the ticked node's "\\Store\Folder" path. Counts into the
    // counters, shows progress, yields three times every YieldInterval items
    // and then leaves when StopRequested is set. Always true.
    bool ProcessFolder(const QString& folderPath);

private:
    // The item's message waits in the set; a full set is acted on.
    void addToSet(PendingItems& pending, std::unique_ptr<platform::MailItem> item);
    // Counts each acted-on item once, from its outcome.
    void countActed(const std::vector<PendingItems::Entry>& acted);
    void countDone(platform::MailItem& item);
    void endFolder();

    const TaskSettings& m_settings;
    platform::Namespace& m_ns;
    ItemActions& m_actions;
    TaskCounters& m_counters;
    const TaskRunFlags& m_flags;
    ProgressPainter& m_progress;
};

} // namespace kestrel::engine
