#include "TaskRunner.h"

#include "DiskSource.h"
#include "FolderProcessor.h"
#include "ItemActions.h"
#include "ItemReporter.h"
#include "PathRoutines.h"
#include "ProcessPriority.h"
#include "ProgressPainter.h"
#include "SoundPlayer.h"
#include "TaskSettings.h"
#include "TaskView.h"

namespace kestrel::engine {

namespace {

void ProcessSelectedFolders(FolderProcessor& processor, const QList<TaskFolder>& folders,
                            const TaskRunFlags& flags, const TaskCounters& counters,
                            ProgressPainter& progress)
{
    TaskView& view = progress.view();
    for (const TaskFolder& folder : folders) {
        if (!folder.checked)
            continue;
        view.setCurrentFolderText(folder.name);
        progress.showAction(QStringLiteral("Initialising folder..."));
        processor.ProcessFolder(folder.path);
        if (flags.StopRequested)
            break;
    }
    view.setCurrentFolderText(QStringLiteral("Done. Archived ") +
                              QString::number(counters.ProcessedCount) +
                              QStringLiteral(" Item(s)"));
    view.repaintWindow();
    view.yield();
}

} // namespace

TaskRunner::TaskRunner(TaskView& view, SoundPlayer& sound, const SettingsReader& settingsReader,
                       QString programDirectory)
    : m_view(view), m_sound(sound), m_settingsReader(settingsReader),
      m_programDirectory(std::move(programDirectory))
{
}

void TaskRunner::RequestStop()
{
    if (!m_flags.TaskRunning)
        return;
    m_view.showStopping();
    m_flags.StopRequested = true;
}

void TaskRunner::Run(TaskSettings& settings, int priorityPosition, platform::Namespace& ns,
                     platform::Session* session, const QList<TaskFolder>& folders)
{
    m_view.GoBusy(true);
    m_view.enterRunningState();
    m_view.setProgressVisible(true);

    const PriorityChoice choice = PriorityChoiceAt(priorityPosition);
    ProcessPriority priority;
    priority.Set(choice.priorityClass);
    settings.YieldInterval = choice.yieldInterval;

    m_flags.ResetFlags();
    m_counters.ResetCounters();

    // Every item the run looks at is reported once, through here.
    ItemReporter reporter(settings, m_view);
    if (settings.SourceIsDisk) {
        ProcessFileSystemSource(settings, m_view, m_flags, m_counters, session, reporter);
    } else {
        ProgressPainter progress(m_view);
        MsgExporter exporter(settings, session, m_settingsReader, m_msgFileCounter);
        ItemActions actions(settings, session, exporter);
        FolderProcessor processor(settings, ns, actions, m_counters, m_flags, progress, reporter);
        ProcessSelectedFolders(processor, folders, m_flags, m_counters, progress);
    }

    priority.Restore();
    m_view.setProgressVisible(false);
    m_view.setCurrentActionText(m_flags.StopRequested ? QStringLiteral("Task interrupted.")
                                                      : QStringLiteral("Task completed."));
    m_view.setCurrentFolderText(QString());
    settings.SourceRoot.reset();
    settings.ArchiveRoot.reset();

    m_view.refreshFolderTree();
    m_view.SetAppStatus(ResultsText(m_counters, settings.Action, settings.PreviewMode));
    m_view.EnableArchiveButton();

    m_view.leaveRunningState();
    m_view.GoBusy(false);
    m_flags.TaskRunning = false;
    m_sound.playAsync(AddPathSeparator(m_programDirectory) + QLatin1String(kTaskCompleteSound));
}

} // namespace kestrel::engine
