#include "FolderProcessor.h"

#include "DateFilter.h"
#include "DiskFolders.h"
#include "ItemActions.h"
#include "PathRoutines.h"
#include "ProgressPainter.h"
#include "TaskCounters.h"
#include "TaskRunFlags.h"
#include "TaskSettings.h"
#include "TaskView.h"
#include "folders/mdlMAPI.h"
#include "platform/MailPlatform.h"
#include "platform/msg/AtomicFileWriter.h"

#include <memory>

namespace kestrel::engine {

namespace {

qint64 toSecond(const QDateTime& d)
{
    const qint64 ms = d.toMSecsSinceEpoch();
    return ms / 1000 - (ms % 1000 < 0);
}

// The item's own flags; an unreadable flag drops the item.
bool isLeftAlone(platform::MailItem& item, const TaskSettings& settings)
{
    const std::optional<bool> noAging = item.noAging();
    if (!noAging || (*noAging && settings.RespectNoArchive))
        return true;
    const std::optional<bool> unread = item.unRead();
    return !unread || (*unread && !settings.IncludeUnread);
}

} // namespace

std::optional<bool> IsFilterOkay(const TaskSettings& settings, platform::MailItem& message)
{
    bool result = true;
    if (const std::optional<platform::DateProperty> property = datePropertyOf(settings.DateBase)) {
        const std::optional<QDateTime> first = platform::readDate(message, *property);
        if (!first)
            return std::nullopt;
        const std::optional<QDateTime> second = platform::readDate(message, *property);
        if (!second)
            return std::nullopt;
        if (toSecond(*first) < toSecond(settings.StartDate) ||
            toSecond(*second) > toSecond(settings.EndDate))
            result = false;
    }
    const std::optional<bool> noAging = message.noAging();
    if (!noAging)
        return std::nullopt;
    if (*noAging && settings.RespectNoArchive)
        result = false;
    const std::optional<bool> unread = message.unRead();
    if (!unread)
        return std::nullopt;
    if (*unread && !settings.IncludeUnread)
        result = false;
    return result;
}

FolderProcessor::FolderProcessor(const TaskSettings& settings, platform::Namespace& ns,
                                 ItemActions& actions, TaskCounters& counters,
                                 const TaskRunFlags& flags, ProgressPainter& progress)
    : m_settings(settings), m_ns(ns), m_actions(actions), m_counters(counters), m_flags(flags),
      m_progress(progress)
{
}

bool FolderProcessor::ProcessFolder(const QString& folderPath)
{
    m_progress.setRange(0);
    m_progress.showValue(0);
    const QString filter =
        BuildDateFilter(m_settings.DateBase, m_settings.StartDate, m_settings.EndDate);
    m_progress.showAction(QStringLiteral("Opening folder..."));
    const std::unique_ptr<platform::Folder> source = folders::GetFolderFromPath(m_ns, folderPath);
    const QString shortPath = folderPath.mid(2);

    m_progress.showAction(QStringLiteral("Finding matching items..."));
    std::unique_ptr<platform::ItemCollection> all = source ? source->items() : nullptr;
    std::unique_ptr<platform::ItemCollection> matching = all ? all->restrict(filter) : nullptr;
    all.reset();
    const std::optional<qint64> listed = matching ? matching->count() : std::nullopt;
    if (!listed) {
        // A ticked folder that is gone or cannot be listed (a link out of the
        // store, an unreadable directory) is one failure, not silence.
        ++m_counters.FailedCount;
        endFolder();
        return true;
    }
    qint64 n = *listed;
    if (n <= 0) {
        endFolder();
        return true;
    }
    m_progress.setRange(n);
    m_progress.showValue(0);

    // Without its destination every item that would be moved or copied fails:
    // each item the run looks at is counted once, as done or failed.
    std::unique_ptr<platform::Folder> destination;
    QString targetDirectory;
    const bool deleting = TaskAction(m_settings.Action) == TaskAction::Delete;
    bool destinationReady = true;
    if (!m_settings.DestinationIsDisk) {
        const QString ownPath = source->folderPath().value_or(QString()).mid(2);
        const QString relative = RelativeFolderPath(ownPath);
        if (m_settings.ArchiveRoot) {
            const QString archivePath = m_settings.ArchiveRoot->folderPath().value_or(QString());
            destination = folders::GetFolderFromPath(m_ns, archivePath + '\\' + relative);
            if (!destination) {
                m_progress.showAction(QStringLiteral("Creating folder in Archive..."));
                destination = folders::CreateFolderPath(*m_settings.ArchiveRoot, relative);
            }
        }
        destinationReady = destination != nullptr || deleting;
    } else if (!m_settings.PreviewMode) {
        targetDirectory = GetDiskTargetFolder(m_settings.DestinationPath, shortPath);
        // The trailing "/" keeps the blanks that end a folder's name: only
        // those of a typed path are trimmed.
        destinationReady = DiskFolderExists(targetDirectory) ||
                           CreateDiskFolder(AddPathSeparator(targetDirectory)) || deleting;
        if (destinationReady)
            platform::msg::removeStaleTemporaryFiles(targetDirectory);
    }

    n = matching->count().value_or(0);
    const QString nText = QString::number(n);
    m_progress.showStatus(
        (m_settings.PreviewMode ? QStringLiteral("Previewing ") : QStringLiteral("Processing ")) +
        nText + QStringLiteral(" matching items..."));
    m_progress.paint();
    m_progress.setRange(n);

    const QString doneWord =
        m_settings.PreviewMode ? QStringLiteral("Previewed ") : QStringLiteral("Processed ");
    const int yieldInterval = m_settings.YieldInterval > 0 ? m_settings.YieldInterval : 1;
    // Moves, copies and deletes in stores wait in sets, acted on when full, at
    // the end of the walk and when it is stopped.
    std::optional<PendingItems> pending;
    if (destinationReady && PendingItems::IsUsedFor(m_settings))
        pending.emplace(m_settings.Action, m_actions.session(), destination.get());
    qint64 j = 0;
    for (qint64 i = n; i >= 1; --i) {
        ++j;
        m_progress.itemAction(
            QStringLiteral("Item ") + QString::number(j) + QStringLiteral(" of ") + nText, j);
        std::unique_ptr<platform::MailItem> item = matching->item(i);
        if (!item) {
            ++m_counters.FailedCount; // cannot be reached as a mail item
        } else if (item->typeName() == QLatin1String(platform::kMailItemType)) {
            if (!isLeftAlone(*item, m_settings)) {
                if (pending)
                    addToSet(*pending, std::move(item));
                else if (destinationReady &&
                         m_actions.PerformAction(item.get(), destination.get(), targetDirectory))
                    countDone(*item);
                else
                    ++m_counters.FailedCount;
            }
            m_progress.itemStatus(doneWord + QString::number(m_counters.ProcessedCount) +
                                  QStringLiteral(" item(s)..."));
        }
        if (j % yieldInterval == 0) {
            m_progress.yield(3);
            if (m_flags.StopRequested)
                break;
        }
    }
    if (pending && !pending->isEmpty()) {
        countActed(pending->actOn());
        m_progress.itemStatus(doneWord + QString::number(m_counters.ProcessedCount) +
                              QStringLiteral(" item(s)..."));
    }
    endFolder();
    return true;
}

void FolderProcessor::addToSet(PendingItems& pending, std::unique_ptr<platform::MailItem> item)
{
    std::unique_ptr<platform::MailItem> message = GetRDOMail(m_actions.session(), *item);
    if (!message) {
        ++m_counters.FailedCount; // as in a preview: never counted as done
        return;
    }
    if (pending.add({std::move(item), std::move(message), {}}))
        countActed(pending.actOn());
}

void FolderProcessor::countActed(const std::vector<PendingItems::Entry>& acted)
{
    for (const PendingItems::Entry& entry : acted) {
        if (entry.outcome.done)
            countDone(*entry.item);
        else
            ++m_counters.FailedCount; // NotFound in outcome.error: gone since it was listed
    }
}

void FolderProcessor::countDone(platform::MailItem& item)
{
    if (const std::optional<qint64> size = item.size())
        m_counters.TotalSize += *size;
    ++m_counters.ProcessedCount;
}

void FolderProcessor::endFolder()
{
    m_progress.showValue(m_progress.maximum());
    m_progress.showAction(QString());
    m_progress.yield(2);
    m_progress.setRange(0);
    m_progress.showValue(0);
}

} // namespace kestrel::engine
