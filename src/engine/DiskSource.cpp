#include "DiskSource.h"

#include "DiskListing.h"
#include "FolderProcessor.h"
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
                                   ProgressPainter& progress)
    : m_settings(settings), m_session(session), m_counters(counters), m_flags(flags),
      m_progress(progress)
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
            m_progress.itemAction(QStringLiteral("Item ") + QString::number(itemCounter) +
                                      QStringLiteral(" of ") + countText,
                                  itemCounter);
            processFile(current + name, storePath, destinationRoot.get(), destinationSubFolder);
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

void FileSystemSource::processFile(const QString& filePath, const QString& relativePath,
                                   platform::Folder* destinationRoot,
                                   std::unique_ptr<platform::Folder>& destinationSubFolder)
{
    // A file that is no readable message stays on disk, counted as failed.
    const std::unique_ptr<platform::MailItem> item = ImportMsgFile(filePath, destinationRoot);
    const std::optional<bool> matches = item ? IsFilterOkay(m_settings, *item) : std::nullopt;
    if (!matches) {
        ++m_counters.FailedCount;
        return;
    }
    if (!*matches)
        return; // never saved: the item is dropped, the file stays
    if (!m_settings.PreviewMode) {
        if (!placeItem(*item, relativePath, destinationSubFolder)) {
            ++m_counters.FailedCount;
            return;
        }
        if (m_settings.Action == int(TaskAction::Move) ||
            m_settings.Action == int(TaskAction::Delete))
            QFile::remove(filePath);
    }
    ++m_counters.ProcessedCount;
}

bool FileSystemSource::placeItem(platform::MailItem& item, const QString& relativePath,
                                 std::unique_ptr<platform::Folder>& destinationSubFolder)
{
    if (!item.save())
        return false;
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
    return destinationSubFolder && item.move(*destinationSubFolder) != nullptr;
}

void ProcessFileSystemSource(const TaskSettings& settings, TaskView& view,
                             const TaskRunFlags& flags, TaskCounters& counters,
                             platform::Session* session)
{
    // An empty text would make "/" the source: the whole file system.
    if (settings.SourceDiskFolder.isEmpty())
        return;
    ProgressPainter progress(view);
    FileSystemSource source(settings, session, counters, flags, progress);
    source.ProcessFileSystemSource(settings.SourceDiskFolder);
}

} // namespace kestrel::engine
