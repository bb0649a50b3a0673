#pragma once

// What a run did, or in a preview would do, to one item it looked at: one row
// of the run's report and one action of its journal.

#include <QDateTime>
#include <QString>

namespace kestrel::engine {

enum class ReportOutcome {
    WouldMove,
    WouldCopy,
    WouldDelete,
    WouldExport,
    Moved,
    Copied,
    Deleted,
    Exported,
    Skipped,     // reason: unread, "No Archive", outside the range, not a mail item
    AlreadyGone, // moved or deleted by someone else since the listing
    Failed,      // reason: the platform's words
};

struct ItemReport {
    QString folderPath; // "\\Store\Folder", or the source disk folder
    QString subject;
    QString sender;
    QDateTime judgedBy; // the date the run judged the item by; invalid for "any date"
    ReportOutcome outcome = ReportOutcome::Failed;
    QString reason; // why skipped or failed
    QString file;   // the .msg file written, or that a preview would write

    // For the journal and undo: where the message was and where it went.
    QString sourceId;       // the item's entry id, or its source .msg path
    QString sourceFolderId; // the folder it was in (empty for a disk source)
    QString destinationId;  // the new item's entry id (a delete's: in "Deleted Items"), or the .msg path
    QString destinationFolderId;
    QString messageId; // the Message-ID header, when known
    qint64 size = -1;
};

} // namespace kestrel::engine
