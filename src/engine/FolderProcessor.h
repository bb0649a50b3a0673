#pragma once

// One ticked folder of a store source: the date restriction, the mirrored
// destination, and the walk over the matching items from the last to the
// first.

#include "ItemReport.h"
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
class PendingExports;
class ItemReporter;
class ProgressPainter;
struct TaskCounters;
struct TaskRunFlags;
struct TaskSettings;

// Whether a message read from a disk file passes the task's date, No-Archive
// and unread rules. Dates are compared to the second. nullopt when a property
// cannot be read: the caller decides what follows.
std::optional<bool> IsFilterOkay(const TaskSettings& settings, platform::MailItem& message);
// For a message IsFilterOkay turned down: the first rule it fails, "outside
// the range", "No Archive" or "unread".
QString FilterSkipReason(const TaskSettings& settings, platform::MailItem& message);

class FolderProcessor {
public:
    FolderProcessor(const TaskSettings& settings, platform::Namespace& ns, ItemActions& actions,
                    TaskCounters& counters, const TaskRunFlags& flags, ProgressPainter& progress,
                    ItemReporter& reporter);
    ~FolderProcessor();

    // folderPath is the ticked node's "\\Store\Folder" path. Counts into the
    // counters, reports each item it looks at once, shows progress, yields three times every
    // YieldInterval items and then leaves when StopRequested is set. Always true.
    bool ProcessFolder(const QString& folderPath);

private:
    // The item's message waits in the set; a full set is acted on.
    void addToSet(PendingItems& pending, std::unique_ptr<platform::MailItem> item, ItemReport row);
    // Counts and reports each acted-on item once, from its outcome.
    void countActed(std::vector<PendingItems::Entry> acted);
    // One mail item that the flags do not leave alone, acted on or waiting.
    void processItem(std::unique_ptr<platform::MailItem> item, std::optional<PendingItems>& pending,
                     bool destinationReady, const platform::PlatformError& destinationError,
                     platform::Folder* destination, const QString& targetDirectory);
    void countDone(platform::MailItem& item);
    void endFolder();

    const TaskSettings& m_settings;
    platform::Namespace& m_ns;
    ItemActions& m_actions;
    TaskCounters& m_counters;
    const TaskRunFlags& m_flags;
    ProgressPainter& m_progress;
    ItemReporter& m_reporter;
    // The folder being walked, for its items' rows.
    QString m_folderPath;
    QString m_folderId;
    QString m_destinationFolderId;
    // The rows of the items waiting in the set, in the same order.
    std::vector<ItemReport> m_waiting;
    // The folder's exports into a disk folder, waiting to be made durable.
    std::unique_ptr<PendingExports> m_exports;
};

} // namespace kestrel::engine
