#pragma once

// The run itself, from the moment the window has verified the settings,
// opened the roots and had the action confirmed, to the idle window after it.
// The window owns one TaskRunner for its whole life: it keeps the run flags,
// the counters of the last run and the .msg file counter across runs.
//
// Wiring in the window:
//   Start/Preview: fill TaskSettings, verify, count TasksRunCount, open roots,
//                  confirm, then Run(settings, cbPriority position, ...).
//   Stop (Quit while flags().TaskRunning): RequestStop().
//   Run paints through TaskView.

#include "MsgExporter.h"
#include "TaskCounters.h"
#include "TaskRunFlags.h"

#include <QList>
#include <QString>

#include <vector>

namespace kestrel::platform {
class Namespace;
class Session;
} // namespace kestrel::platform

namespace kestrel::engine {

class ItemReportSink;
class SettingsReader;
class SoundPlayer;
class TaskView;
struct TaskSettings;

// One node of the folder tree, in the order nodes were added to it.
struct TaskFolder {
    QString name; // the display name without its item count
    QString path; // "\\Store\Folder"
    bool checked = false;
};

inline constexpr const char* kTaskCompleteSound = "task complete.wav";
// How many run journals are kept: the setting, its section and its default.
inline constexpr const char* kJournalSection = "Journal";
inline constexpr const char* kJournalKeptKey = "Keep";

class TaskRunner {
public:
    // programDirectory holds "task complete.wav".
    TaskRunner(TaskView& view, SoundPlayer& sound, const SettingsReader& settingsReader,
               QString programDirectory);

    // Runs the task: running state, priority and YieldInterval from the
    // priority position, flags and counters reset, the walk over the ticked
    // folders or the disk source folder, priority back, end texts, roots
    // released, tree refreshed, summary, idle, sound. session may be null
    // (every item then fails to be reached).
    void Run(TaskSettings& settings, int priorityPosition, platform::Namespace& ns,
             platform::Session* session, const QList<TaskFolder>& folders);

    // The Stop button: "WAIT", disabled, and the loops stop at their next test.
    void RequestStop();

    // Each item's report goes to the sink too, in every run while it is added.
    void addReportSink(ItemReportSink& sink);
    void removeReportSink(ItemReportSink& sink);
    // Where a Start writes its journal; JournalDirectory() when not set.
    void setJournalDirectory(const QString& directory) { m_journalDirectory = directory; }
    // The last Start's journal, and why it could not be written whole ("" when it was).
    QString lastJournal() const { return m_lastJournal; }
    QString journalError() const { return m_journalError; }

    TaskRunFlags& flags() { return m_flags; }
    const TaskCounters& counters() const { return m_counters; }
    qint64 msgFileCounter() const { return m_msgFileCounter.value; }

private:
    TaskView& m_view;
    SoundPlayer& m_sound;
    const SettingsReader& m_settingsReader;
    QString m_programDirectory;
    TaskRunFlags m_flags;
    TaskCounters m_counters;
    MsgFileCounter m_msgFileCounter;
    std::vector<ItemReportSink*> m_sinks;
    QString m_journalDirectory;
    QString m_lastJournal;
    QString m_journalError;
};

} // namespace kestrel::engine
