#pragma once

// Builds each item's report row from the item and hands it to the view once
// its outcome is known.

#include "ItemReport.h"
#include "platform/PlatformError.h"

#include <QString>

namespace kestrel::platform {
class MailItem;
}

namespace kestrel::engine {

class TaskView;
struct TaskSettings;

// The platform's words for a failure; never empty.
QString errorReason(const platform::PlatformError& error);

class ItemReporter {
public:
    ItemReporter(const TaskSettings& settings, TaskView& view);

    // What the row says of the item before it is acted on: subject, sender,
    // the date the run judges it by, its identifiers and size. Properties that
    // cannot be read stay empty.
    ItemReport describe(platform::MailItem& item, const QString& folderPath,
                        const QString& folderId) const;

    // The outcome of an item acted on (or, in a preview, that would be):
    // moved, copied, deleted or exported by the task's action.
    ReportOutcome actedOutcome() const;

    void report(ItemReport row, ReportOutcome outcome, const QString& reason = {});
    void acted(ItemReport row) { report(std::move(row), actedOutcome()); }
    void skipped(ItemReport row, const QString& reason)
    {
        report(std::move(row), ReportOutcome::Skipped, reason);
    }
    // Failed with the platform's reason.
    void failed(ItemReport row, const platform::PlatformError& error);
    // A listed item not acted on: "already gone" when the platform no longer
    // finds it (moved or deleted by someone else since), else failed.
    void notDone(ItemReport row, const platform::PlatformError& error);

private:
    const TaskSettings& m_settings;
    TaskView& m_view;
};

} // namespace kestrel::engine
