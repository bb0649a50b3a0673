#include "TaskRunner.h"

#include "DiskSource.h"
#include "FolderProcessor.h"
#include "ItemActions.h"
#include "ItemReporter.h"
#include "Journal.h"
#include "PathRoutines.h"
#include "ProcessPriority.h"
#include "ProgressPainter.h"
#include "RunView.h"
#include "SettingsReader.h"
#include "SoundPlayer.h"
#include "TaskSettings.h"
#include "TaskView.h"

#include <QJsonObject>

#include <algorithm>

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

void TaskRunner::addReportSink(ItemReportSink& sink)
{
    m_sinks.push_back(&sink);
}

void TaskRunner::removeReportSink(ItemReportSink& sink)
{
    std::erase(m_sinks, &sink);
}

void TaskRunner::Run(TaskSettings& settings, int priorityPosition, platform::Namespace& ns,
                     platform::Session* session, const QList<TaskFolder>& folders)
{
    // A Start's actions go into its journal as the view hears of them.
    JournalWriter journal;
    std::vector<ItemReportSink*> sinks = m_sinks;
    m_lastJournal.clear();
    m_journalError.clear();
    if (!settings.PreviewMode) {
        const QString pattern =
            MsgExporter(settings, session, m_settingsReader, m_msgFileCounter).MsgPattern();
        bool keptOk = false;
        const int kept =
            m_settingsReader
                .readSetting(QLatin1String(kJournalSection), QLatin1String(kJournalKeptKey),
                             QString::number(kJournalsKept))
                .toInt(&keptOk);
        const QString directory =
            m_journalDirectory.isEmpty() ? JournalDirectory() : m_journalDirectory;
        if (journal.open(directory, RunHeader(settings, folders, pattern),
                         keptOk && kept > 0 ? kept : kJournalsKept)) {
            sinks.push_back(&journal);
            m_lastJournal = journal.path();
        }
        m_journalError = journal.lastError();
    }
    RunView view(m_view, std::move(sinks));

    view.GoBusy(true);
    view.enterRunningState();
    view.setProgressVisible(true);

    const PriorityChoice choice = PriorityChoiceAt(priorityPosition);
    ProcessPriority priority;
    priority.Set(choice.priorityClass);
    settings.YieldInterval = choice.yieldInterval;

    m_flags.ResetFlags();
    m_counters.ResetCounters();

    // Every item the run looks at is reported once, through here.
    ItemReporter reporter(settings, view);
    if (settings.SourceIsDisk) {
        ProcessFileSystemSource(settings, view, m_flags, m_counters, session, reporter);
    } else {
        ProgressPainter progress(view);
        MsgExporter exporter(settings, session, m_settingsReader, m_msgFileCounter);
        ItemActions actions(settings, session, exporter);
        FolderProcessor processor(settings, ns, actions, m_counters, m_flags, progress, reporter);
        ProcessSelectedFolders(processor, folders, m_flags, m_counters, progress);
    }

    priority.Restore();
    if (journal.isOpen()) {
        QJsonObject end;
        end.insert(QLatin1String(journal::kStopped), m_flags.StopRequested);
        end.insert(QStringLiteral("processed"), m_counters.ProcessedCount);
        end.insert(QStringLiteral("failed"), m_counters.FailedCount);
        journal.finish(end);
        m_journalError = journal.lastError();
    }
    view.setProgressVisible(false);
    view.setCurrentActionText(m_flags.StopRequested ? QStringLiteral("Task interrupted.")
                                                    : QStringLiteral("Task completed."));
    view.setCurrentFolderText(QString());
    settings.SourceRoot.reset();
    settings.ArchiveRoot.reset();

    view.refreshFolderTree();
    view.SetAppStatus(ResultsText(m_counters, settings.Action, settings.PreviewMode));
    view.EnableArchiveButton();

    view.leaveRunningState();
    view.GoBusy(false);
    m_flags.TaskRunning = false;
    m_sound.playAsync(AddPathSeparator(m_programDirectory) + QLatin1String(kTaskCompleteSound));
}

} // namespace kestrel::engine
