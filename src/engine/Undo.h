#pragma once

// Undoing a Start from its journal: moved items go back to their folders,
// the run's copies are removed, deleted items come back from "Deleted Items",
// .msg files of a Move are imported back and removed, those of a Copy are
// removed. What changed since the run is skipped with its reason, and a copy
// is removed only while its original is still where the journal says. The
// undo writes its own journal, so that it shows among the runs.

#include "Journal.h"

#include <QJsonObject>
#include <QString>

#include <memory>

namespace kestrel::platform {
class Folder;
class MailItem;
class Session;
} // namespace kestrel::platform

namespace kestrel::engine {

struct ItemReport;
struct JournalAction;

struct UndoCounts {
    qint64 undone = 0;
    qint64 skipped = 0;
    qint64 failed = 0;
};

class Undo {
public:
    explicit Undo(platform::Session& session);

    // What the undo does to each item goes to the sink too (a report window,
    // a command line's report).
    void setSink(ItemReportSink* sink) { m_sink = sink; }

    // Undoes the run of the journal at runJournal as far as the journal
    // reaches. False when that journal cannot be read or the undo's own
    // cannot be written (then nothing is touched), lastError() says why.
    bool undoRun(const QString& runJournal, const QString& directory = JournalDirectory(),
                 int kept = kJournalsKept);

    const UndoCounts& counts() const { return m_counts; }
    QString journalPath() const { return m_journalPath; }
    QString lastError() const { return m_lastError; }

private:
    // The report of undoing one action of the run.
    ItemReport undoAction(const JournalAction& action);
    ItemReport undoStoreMove(const JournalAction& action, ItemReport report);
    ItemReport undoStoreCopy(const JournalAction& action, ItemReport report);
    ItemReport undoExport(const JournalAction& action, ItemReport report);
    ItemReport undoDiskSource(const JournalAction& action, ItemReport report);

    // The original still where the journal says, and the same size.
    bool originalIsThere(const JournalAction& action);
    std::unique_ptr<platform::Folder> originalFolder(const JournalAction& action,
                                                     ItemReport& report);

    platform::Session& m_session;
    ItemReportSink* m_sink = nullptr;
    QJsonObject m_run; // the run's first line
    UndoCounts m_counts;
    QString m_journalPath;
    QString m_lastError;
};

} // namespace kestrel::engine
