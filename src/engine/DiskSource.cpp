#include "DiskSource.h"

#include "DiskListing.h"
#include "FolderProcessor.h"
#include "ItemReporter.h"
#include "PathRoutines.h"
#include "ProgressPainter.h"
#include "StoreFolderPath.h"
#include "TaskCounters.h"
#include "TaskRunFlags.h"
#include "TaskSettings.h"
#include "TaskView.h"
#include "platform/MailPlatform.h"

#include <QFile>
#include <QPair>
#include <QSet>

#include <sys/stat.h>
#include <vector>

namespace kestrel::engine {

FileSystemSource::FileSystemSource(const TaskSettings& settings, platform::Session* session,
                                   TaskCounters& counters, const TaskRunFlags& flags,
                                   ProgressPainter& progress, ItemReporter& reporter)
    : m_settings(settings), m_session(session), m_counters(counters), m_flags(flags),
      m_progress(progress), m_reporter(reporter)
{
}

void FileSystemSource::ProcessFileSystemSource(const QString& topFolder)
{
    struct Pending {
        QString path;
        int depth;
    };
    // A stack instead of recursion: no depth of folders can exhaust the
    // thread's stack. Sub-folders go on in reverse so that they come off in
    // listing order.
    std::vector<Pending> pending{{topFolder, 0}};
    QSet<QPair<quint64, quint64>> seen;
    while (!pending.empty()) {
        const Pending folder = std::move(pending.back());
        pending.pop_back();
        struct stat st {};
        if (::stat(QFile::encodeName(folder.path).constData(), &st) == 0) {
            const QPair<quint64, quint64> id(quint64(st.st_dev), quint64(st.st_ino));
            if (seen.contains(id))
                continue;
            seen.insert(id);
        }
        if (folder.depth > kMaxDiskFolderDepth) {
            ++m_counters.FailedCount;
            ItemReport row;
            row.folderPath = folder.path;
            m_reporter.failed(row, {platform::ErrorKind::Unsupported,
                                    -1,
                                    QStringLiteral("The folder lies more than %1 levels deep")
                                        .arg(kMaxDiskFolderDepth),
                                    {}});
            continue;
        }
        if (ProcessFileSystemFolder(topFolder, folder.path))
            continue;
        const QStringList subFolders = GetSubFolders(AddPathSeparator(folder.path));
        for (auto it = subFolders.crbegin(); it != subFolders.crend(); ++it)
            pending.push_back({*it, folder.depth + 1});
    }
}

bool FileSystemSource::ProcessFileSystemFolder(const QString& topFolder,
                                               const QString& currentFolder)
{
    TaskView& view = m_progress.view();
    std::unique_ptr<platform::Folder> destinationRoot =
        OpenRootFolder(m_session, m_settings.ArchiveRoot.get());
    const QString top = AddPathSeparator(topFolder);
    const QString current = AddPathSeparator(currentFolder);
    const QString relativePath = GetFolderOffset(top, current);

    view.setCurrentFolderText(GetLastFolder(relativePath));
    m_progress.showAction(QStringLiteral("Opening folder..."));
    m_progress.setRange(0);
    m_progress.showValue(0);
    m_progress.showAction(QStringLiteral("Finding matching items..."));

    const QStringList files = GetFileList(current, QStringLiteral("*.msg"));
    const qsizetype fileCount = GetArrayCount(files);
    bool stopped = false;
    if (fileCount > 0) {
        // The store spells levels with backslashes; on disk they are "/".
        const QString storePath = QString(relativePath).replace('/', '\\');
        std::unique_ptr<platform::Folder> destinationSubFolder;
        const QString countText = QString::number(fileCount);
        const int yieldInterval = m_settings.YieldInterval > 0 ? m_settings.YieldInterval : 1;
        m_progress.setRange(fileCount);
        qint64 itemCounter = 0;
        for (const QString& name : files) {
            ++itemCounter;
            m_progress.itemNumber(itemCounter, countText);
            processFile(current, current + name, storePath, destinationRoot.get(),
                        destinationSubFolder);
            if (itemCounter % yieldInterval == 0) {
                m_progress.yield(3);
                if (m_flags.StopRequested)
                    break;
            }
        }
        m_progress.showValue(m_progress.maximum());
        m_progress.yield(1);
        stopped = m_flags.StopRequested;
    }
    if (!stopped) {
        view.setCurrentFolderText(QString());
        m_progress.paint();
        m_progress.yield(1);
    }
    view.setCurrentFolderText(QString());
    m_progress.setRange(0);
    m_progress.showValue(0);
    return stopped;
}

void FileSystemSource::processFile(const QString& folder, const QString& filePath,
                                   const QString& relativePath, platform::Folder* destinationRoot,
                                   std::unique_ptr<platform::Folder>& destinationSubFolder)
{
    // A file that is no readable message stays on disk, counted as failed.
    platform::PlatformError error;
    const std::unique_ptr<platform::MailItem> item =
        ImportMsgFile(filePath, destinationRoot, &error);
    ItemReport row = item ? m_reporter.describe(*item, folder, QString()) : ItemReport();
    row.folderPath = folder;
    row.file = filePath;
    row.sourceId = filePath;
    const std::optional<bool> matches = item ? IsFilterOkay(m_settings, *item) : std::nullopt;
    if (!matches) {
        ++m_counters.FailedCount;
        m_reporter.failed(std::move(row), item ? item->lastError() : error);
        return;
    }
    if (!*matches) {
        // never saved: the item is dropped, the file stays
        m_reporter.skipped(std::move(row), FilterSkipReason(m_settings, *item));
        return;
    }
    if (!m_settings.PreviewMode) {
        std::unique_ptr<platform::MailItem> placed;
        if (!placeItem(*item, relativePath, destinationSubFolder, placed, error)) {
            ++m_counters.FailedCount;
            m_reporter.failed(std::move(row), error);
            return;
        }
        row.destinationId = (placed ? *placed : *item).entryId().value_or(QString());
        if (destinationSubFolder)
            row.destinationFolderId = destinationSubFolder->entryId().value_or(QString());
        if (m_settings.Action == int(TaskAction::Move) ||
            m_settings.Action == int(TaskAction::Delete)) {
            if (!QFile::remove(filePath)) {
                // Counted as done, as it always was; the report says the file stayed.
                ++m_counters.ProcessedCount;
                QFile file(filePath);
                m_reporter.failed(std::move(row),
                                  {platform::ErrorKind::Io, -1,
                                   QStringLiteral("The message is in the store but its file "
                                                  "cannot be removed"),
                                   file.errorString()});
                return;
            }
        }
    }
    ++m_counters.ProcessedCount;
    m_reporter.acted(std::move(row));
}

bool FileSystemSource::placeItem(platform::MailItem& item, const QString& relativePath,
                                 std::unique_ptr<platform::Folder>& destinationSubFolder,
                                 std::unique_ptr<platform::MailItem>& placed,
                                 platform::PlatformError& error)
{
    if (!item.save()) {
        error = item.lastError();
        return false;
    }
    if (!destinationSubFolder) {
        destinationSubFolder =
            GetStoreFolderByPath(m_session, m_settings.ArchiveRoot.get(), relativePath);
        if (!destinationSubFolder)
            destinationSubFolder =
                CreateStoreFolderPath(m_session, m_settings.ArchiveRoot.get(), relativePath);
    }
    if (relativePath.isEmpty())
        return true; // the top folder's items stay in the destination root
    // Without its folder the saved item stays in the destination root.
    if (!destinationSubFolder) {
        error = {platform::ErrorKind::NotFound, -1,
                 QStringLiteral("The folder cannot be made in the destination store"),
                 relativePath};
        return false;
    }
    placed = item.move(*destinationSubFolder);
    if (!placed) {
        error = item.lastError();
        return false;
    }
    return true;
}

void ProcessFileSystemSource(const TaskSettings& settings, TaskView& view,
                             const TaskRunFlags& flags, TaskCounters& counters,
                             platform::Session* session, ItemReporter& reporter)
{
    // An empty text would make "/" the source: the whole file system.
    if (settings.SourceDiskFolder.isEmpty())
        return;
    ProgressPainter progress(view);
    FileSystemSource source(settings, session, counters, flags, progress, reporter);
    source.ProcessFileSystemSource(settings.SourceDiskFolder);
}

} // namespace kestrel::engine
