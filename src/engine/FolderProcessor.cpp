#include "FolderProcessor.h"

#include "DateFilter.h"
#include "DiskFolders.h"
#include "ItemActions.h"
#include "ItemReporter.h"
#include "PathRoutines.h"
#include "PendingExports.h"
#include "ProgressPainter.h"
#include "ReportRow.h"
#include "TaskCounters.h"
#include "TaskRunFlags.h"
#include "TaskSettings.h"
#include "TaskView.h"
#include "folders/mdlMAPI.h"
#include "platform/MailPlatform.h"
#include "platform/msg/AtomicFileWriter.h"

#include <cerrno>
#include <memory>

namespace kestrel::engine {

namespace {

qint64 toSecond(const QDateTime& d)
{
    const qint64 ms = d.toMSecsSinceEpoch();
    return ms / 1000 - (ms % 1000 < 0);
}

// Why the item's own flags leave it alone, if they do; an unreadable flag
// drops the item (error says why).
std::optional<QString> leftAloneReason(platform::MailItem& item, const TaskSettings& settings,
                                       platform::PlatformError& error)
{
    const std::optional<bool> noAging = item.noAging();
    if (!noAging) {
        error = item.lastError();
        return QString();
    }
    if (*noAging && settings.RespectNoArchive)
        return QLatin1String(kSkippedNoArchive);
    const std::optional<bool> unread = item.unRead();
    if (!unread) {
        error = item.lastError();
        return QString();
    }
    if (*unread && !settings.IncludeUnread)
        return QLatin1String(kSkippedUnread);
    return std::nullopt;
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

QString FilterSkipReason(const TaskSettings& settings, platform::MailItem& message)
{
    if (const std::optional<platform::DateProperty> property = datePropertyOf(settings.DateBase)) {
        const std::optional<QDateTime> date = platform::readDate(message, *property);
        if (date && (toSecond(*date) < toSecond(settings.StartDate) ||
                     toSecond(*date) > toSecond(settings.EndDate)))
            return QLatin1String(kSkippedOutsideRange);
    }
    if (message.noAging().value_or(false) && settings.RespectNoArchive)
        return QLatin1String(kSkippedNoArchive);
    return QLatin1String(kSkippedUnread);
}

FolderProcessor::FolderProcessor(const TaskSettings& settings, platform::Namespace& ns,
                                 ItemActions& actions, TaskCounters& counters,
                                 const TaskRunFlags& flags, ProgressPainter& progress,
                                 ItemReporter& reporter)
    : m_settings(settings), m_ns(ns), m_actions(actions), m_counters(counters), m_flags(flags),
      m_progress(progress), m_reporter(reporter)
{
}

FolderProcessor::~FolderProcessor() = default;

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
    platform::PlatformError listError = matching ? platform::PlatformError{}
                                        : all    ? all->lastError()
                                        : source ? source->lastError()
                                                 : m_ns.lastError();
    all.reset();
    const std::optional<qint64> listed = matching ? matching->count() : std::nullopt;
    if (matching && !listed)
        listError = matching->lastError();
    if (listError.ok())
        listError = {platform::ErrorKind::NotFound, -1,
                     QStringLiteral("The folder cannot be found"), folderPath};
    m_folderPath = folderPath;
    m_folderId = source ? source->entryId().value_or(QString()) : QString();
    if (!listed) {
        // A ticked folder that is gone or cannot be listed (a link out of the
        // store, an unreadable directory) is one failure, not silence.
        ++m_counters.FailedCount;
        ItemReport row;
        row.folderPath = folderPath;
        m_reporter.failed(row, listError);
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
    platform::PlatformError destinationError;
    if (!m_settings.DestinationIsDisk) {
        const QString ownPath = source->folderPath().value_or(QString()).mid(2);
        const QString relative = RelativeFolderPath(ownPath);
        if (m_settings.ArchiveRoot) {
            const QString archivePath = m_settings.ArchiveRoot->folderPath().value_or(QString());
            destination = folders::GetFolderFromPath(m_ns, archivePath + '\\' + relative);
            if (!destination) {
                m_progress.showAction(QStringLiteral("Creating folder in Archive..."));
                destination =
                    folders::CreateFolderPath(*m_settings.ArchiveRoot, relative, &destinationError);
            }
        }
        if (!destination && destinationError.ok())
            destinationError = {platform::ErrorKind::NotFound, -1,
                                QStringLiteral("No destination folder"), relative};
        destinationReady = destination != nullptr || deleting;
    } else {
        // A preview names the files a Start would write there.
        targetDirectory = GetDiskTargetFolder(m_settings.DestinationPath, shortPath);
    }
    if (m_settings.DestinationIsDisk && !m_settings.PreviewMode) {
        // The trailing "/" keeps the blanks that end a folder's name: only
        // those of a typed path are trimmed.
        destinationReady = DiskFolderExists(targetDirectory) ||
                           CreateDiskFolder(AddPathSeparator(targetDirectory));
        if (!destinationReady)
            destinationError = platform::PlatformError::fromErrno(
                errno, QStringLiteral("The folder cannot be made"), targetDirectory);
        destinationReady = destinationReady || deleting;
        if (destinationReady)
            platform::msg::removeStaleTemporaryFiles(targetDirectory);
    }
    m_destinationFolderId = destination ? destination->entryId().value_or(QString()) : QString();

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
    if (destinationReady && PendingExports::IsUsedFor(m_settings))
        m_exports =
            std::make_unique<PendingExports>(m_settings, m_actions.session(), m_actions.exporter(),
                                             m_counters, m_reporter, targetDirectory);
    qint64 j = 0;
    for (qint64 i = n; i >= 1; --i) {
        ++j;
        m_progress.itemNumber(j, nText);
        std::unique_ptr<platform::MailItem> item = matching->item(i);
        if (!item) {
            ++m_counters.FailedCount; // cannot be reached as a mail item
            ItemReport row;
            row.folderPath = m_folderPath;
            row.sourceFolderId = m_folderId;
            m_reporter.failed(row, matching->lastError());
        } else if (item->typeName() == QLatin1String(platform::kMailItemType)) {
            processItem(std::move(item), pending, destinationReady, destinationError,
                        destination.get(), targetDirectory);
            m_progress.itemsDone(doneWord, m_counters.ProcessedCount);
        } else {
            m_reporter.skipped(m_reporter.describe(*item, m_folderPath, m_folderId),
                               QLatin1String(kSkippedNotMail));
        }
        if (j % yieldInterval == 0) {
            m_progress.yield(3);
            if (m_flags.StopRequested)
                break;
        }
    }
    if (pending && !pending->isEmpty()) {
        countActed(pending->actOn());
        m_progress.itemsDone(doneWord, m_counters.ProcessedCount);
    }
    if (m_exports) {
        m_exports->finish();
        m_exports.reset();
        m_progress.itemsDone(doneWord, m_counters.ProcessedCount);
    }
    endFolder();
    return true;
}

void FolderProcessor::processItem(std::unique_ptr<platform::MailItem> item,
                                  std::optional<PendingItems>& pending, bool destinationReady,
                                  const platform::PlatformError& destinationError,
                                  platform::Folder* destination, const QString& targetDirectory)
{
    ItemReport row = m_reporter.describe(*item, m_folderPath, m_folderId);
    row.destinationFolderId = m_destinationFolderId;
    platform::PlatformError flagError;
    if (const std::optional<QString> reason = leftAloneReason(*item, m_settings, flagError)) {
        // Neither done nor failed in the counters.
        if (reason->isEmpty())
            m_reporter.notDone(std::move(row), flagError);
        else
            m_reporter.skipped(std::move(row), *reason);
        return;
    }
    if (pending) {
        addToSet(*pending, std::move(item), std::move(row));
        return;
    }
    if (m_exports) {
        m_exports->add(std::move(item), std::move(row));
        return;
    }
    if (!destinationReady) {
        ++m_counters.FailedCount;
        m_reporter.failed(std::move(row), destinationError);
        return;
    }
    const bool done = m_actions.PerformAction(item.get(), destination, targetDirectory);
    row.destinationId = m_actions.lastFile();
    row.file = m_actions.lastFile();
    if (!done) {
        ++m_counters.FailedCount;
        m_reporter.notDone(std::move(row), m_actions.lastError());
        return;
    }
    countDone(*item);
    // A preview that cannot name the file says why the Start would fail.
    if (m_settings.PreviewMode && !m_actions.lastError().ok())
        m_reporter.failed(std::move(row), m_actions.lastError());
    else
        m_reporter.acted(std::move(row));
}

void FolderProcessor::addToSet(PendingItems& pending, std::unique_ptr<platform::MailItem> item,
                               ItemReport row)
{
    std::unique_ptr<platform::MailItem> message = GetRDOMail(m_actions.session(), *item);
    if (!message) {
        ++m_counters.FailedCount; // as in a preview: never counted as done
        m_reporter.notDone(std::move(row), UnreachableReason(m_actions.session(), *item));
        return;
    }
    m_waiting.push_back(std::move(row));
    if (pending.add({std::move(item), std::move(message), {}}))
        countActed(pending.actOn());
}

void FolderProcessor::countActed(std::vector<PendingItems::Entry> acted)
{
    std::vector<ItemReport> rows = std::move(m_waiting);
    m_waiting.clear();
    for (std::size_t k = 0; k < acted.size(); ++k) {
        PendingItems::Entry& entry = acted[k];
        ItemReport row = k < rows.size() ? std::move(rows[k]) : ItemReport();
        if (entry.outcome.done) {
            countDone(*entry.item);
            if (entry.outcome.moved)
                row.destinationId = entry.outcome.moved->entryId().value_or(QString());
            m_reporter.acted(std::move(row));
        } else {
            ++m_counters.FailedCount;
            m_reporter.notDone(std::move(row), entry.outcome.error);
        }
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
