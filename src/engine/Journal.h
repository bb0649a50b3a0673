#pragma once

// A run's journal: one JSON object a line in its own file, so that what a
// Start did can be listed and undone later. The first line says what the run
// was asked to do, then one line per action, then a last line when the run
// ended (a run that was killed has none). Lines reach the system at once, and
// the disk in the background: a sync is asked for every kSyncEvery actions,
// each waits for the one before, and the last line is on disk when the run
// ends. So no more than 2 * kSyncEvery lines are ever not yet on disk.

#include "FileSyncer.h"
#include "ItemReportSink.h"

#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace kestrel::engine {

struct ItemReport;
struct TaskFolder;
struct TaskSettings;

// The keys and words of a journal line.
namespace journal {
inline constexpr const char* kKind = "kind"; // the first line: "run" or "undo"; the last: "end"
inline constexpr const char* kRun = "run";
inline constexpr const char* kUndo = "undo";
inline constexpr const char* kEnd = "end";
inline constexpr const char* kUndoes = "undoes"; // an undo's: the file name of the run it undid
inline constexpr const char* kAction = "action"; // "move", "copy", "delete"
inline constexpr const char* kSourceIsDisk = "sourceIsDisk";
inline constexpr const char* kDestinationIsDisk = "destinationIsDisk";
inline constexpr const char* kStopped = "stopped";
} // namespace journal

inline constexpr int kJournalsKept = 50;

// $XDG_STATE_HOME/kestrel-mailkeep/runs, XDG_STATE_HOME being ~/.local/state
// when it is not set.
QString JournalDirectory();

// The first line of a Start's journal: the action, the source and its ticked
// folders, the date field and range, the rules, the destination and the
// .msg file pattern.
QJsonObject RunHeader(const TaskSettings& settings, const QList<TaskFolder>& folders,
                      const QString& pattern);

class JournalWriter : public ItemReportSink {
public:
    static constexpr int kSyncEvery = 50;
    // Lines are handed to the system together, at the latest when this many
    // wait, at each yield of the run, and before each sync.
    static constexpr int kWriteEvery = 32;

    // withSkips: skipped items too, with their reasons (an undo's are few and
    // each one matters; a Start's are not actions).
    explicit JournalWriter(bool withSkips = false) : m_withSkips(withSkips) {}
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;
    ~JournalWriter() override;

    // A new journal in directory (made when missing), named so that names
    // sort by time, with header as its first line, on disk when this
    // returns. The oldest journals beyond `kept` are removed.
    bool open(const QString& directory, QJsonObject header, int kept = kJournalsKept);
    bool isOpen() const { return m_file.isOpen(); }

    // Each action the run took.
    void ItemDone(const ItemReport& report) override;
    void yielded() override { flush(); }
    // Hands the waiting lines to the system now.
    bool flush();
    // The last line, on disk when this returns. Nothing more is written.
    bool finish(QJsonObject end);

    QString path() const { return m_file.fileName(); }
    // Why a line or the journal could not be written; empty when all went.
    QString lastError() const { return m_lastError; }

private:
    bool writeLine(const QJsonObject& line);
    bool writeBytes(const QByteArray& bytes);
    bool sync();
    // Waits for the background syncs and stops them; false with the reason when one failed.
    bool stopSyncing();
    bool syncFailed(int error); // false, with the reason

    bool m_withSkips;
    QFile m_file;
    int m_unsynced = 0;
    QByteArray m_waiting; // whole lines, not yet written
    int m_waitingLines = 0;
    QString m_lastError;
    std::optional<FileSyncer> m_syncer; // after m_file: gone before it closes
};

} // namespace kestrel::engine
