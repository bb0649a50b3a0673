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

namespace kestrel::platform {
class Namespace;
class Session;
} // namespace kestrel::platform

namespace kestrel::engine {

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
};

} // namespace kestrel::engine
