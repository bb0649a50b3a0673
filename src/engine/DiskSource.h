#pragma once

// The disk-folder source: every .msg file of a disk folder and its
// sub-folders becomes an item of the destination store; the task's filter
// decides, and a matching item is saved in the store folder that mirrors the
// file's folder below the source folder.

#include "platform/PlatformError.h"

#include <QString>

#include <memory>

namespace kestrel::platform {
class Folder;
class MailItem;
class Session;
} // namespace kestrel::platform

namespace kestrel::engine {

class ItemReporter;
class ProgressPainter;
class TaskView;
struct TaskCounters;
struct TaskRunFlags;
struct TaskSettings;

// Folders deeper than this below the source folder are not walked; each is
// counted as one failure.
inline constexpr int kMaxDiskFolderDepth = 100;

class FileSystemSource {
public:
    FileSystemSource(const TaskSettings& settings, platform::Session* session,
                     TaskCounters& counters, const TaskRunFlags& flags, ProgressPainter& progress,
                     ItemReporter& reporter);

    // The whole walk from topFolder: each folder's files, then (unless Stop
    // was seen after them) each of its sub-folders, depth first in listing
    // order. A directory met a second time (a bind mount of an ancestor) is
    // not walked again.
    void ProcessFileSystemSource(const QString& topFolder);

private:
    // One folder's files; true when Stop was seen after them, so that its
    // sub-folders are not walked.
    bool ProcessFileSystemFolder(const QString& topFolder, const QString& currentFolder);
    // One file: imported, filtered, saved and placed, its file deleted for
    // Move and Delete once that all worked. Counts and reports the outcome.
    void processFile(const QString& folder, const QString& filePath, const QString& relativePath,
                     platform::Folder* destinationRoot,
                     std::unique_ptr<platform::Folder>& destinationSubFolder);
    // Saves the item and moves it into the mirrored folder; false when the
    // item did not reach that folder (error says why). placed is the item
    // where it ended.
    bool placeItem(platform::MailItem& item, const QString& relativePath,
                   std::unique_ptr<platform::Folder>& destinationSubFolder,
                   std::unique_ptr<platform::MailItem>& placed, platform::PlatformError& error);

    const TaskSettings& m_settings;
    platform::Session* m_session;
    TaskCounters& m_counters;
    const TaskRunFlags& m_flags;
    ProgressPainter& m_progress;
    ItemReporter& m_reporter;
};

// The whole walk from settings.SourceDiskFolder, for TaskRunner::Run. An
// empty folder text does nothing.
void ProcessFileSystemSource(const TaskSettings& settings, TaskView& view,
                             const TaskRunFlags& flags, TaskCounters& counters,
                             platform::Session* session, ItemReporter& reporter);

} // namespace kestrel::engine
