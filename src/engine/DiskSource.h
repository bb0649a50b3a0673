#pragma once

// The disk-folder source: every .msg file of a disk folder and its
// sub-folders becomes an item of the destination store; the task's filter
// decides, and a matching item is saved in the store folder that mirrors the
// file's folder below the source folder.

#include <QString>

#include <memory>

namespace kestrel::platform {
class Folder;
class MailItem;
class Session;
} // namespace kestrel::platform

namespace kestrel::engine {

class ProgressPainter;
class TaskView;
struct TaskCounters;
struct TaskRunFlags;
struct TaskSettings;

class FileSystemSource {
public:
    FileSystemSource(const TaskSettings& settings, platform::Session* session,
                     TaskCounters& counters, const TaskRunFlags& flags, ProgressPainter& progress);

    // One folder's files, then (unless Stop was seen after them) each of its
    // sub-folders, depth first in listing order. Always true.
    bool ProcessFileSystemFolder(const QString& topFolder, const QString& currentFolder);

private:
    // One file: imported, filtered, saved and placed, its file deleted for
    // Move and Delete once that all worked. Counts the outcome.
    void processFile(const QString& filePath, const QString& relativePath,
                     platform::Folder* destinationRoot,
                     std::unique_ptr<platform::Folder>& destinationSubFolder);
    // Saves the item and moves it into the mirrored folder; false when the
    // item did not reach that folder.
    bool placeItem(platform::MailItem& item, const QString& relativePath,
                   std::unique_ptr<platform::Folder>& destinationSubFolder);

    const TaskSettings& m_settings;
    platform::Session* m_session;
    TaskCounters& m_counters;
    const TaskRunFlags& m_flags;
    ProgressPainter& m_progress;
};

// The whole walk from sourceFolder (the disk folder as typed). The hook that
// TaskRunner::Run calls for a disk source. An empty sourceFolder does nothing.
void ProcessFileSystemSource(const TaskSettings& settings, TaskView& view,
                             const TaskRunFlags& flags, TaskCounters& counters,
                             platform::Session* session, const QString& sourceFolder);

} // namespace kestrel::engine
