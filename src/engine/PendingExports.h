#pragma once

// Messages of a Move or Copy into a disk folder, waiting to be made durable
// together: each is written as a .msg file under a temporary name at once;
// when the set is full the files are synced, put under their names and their
// folder synced, and only then does a Move remove its messages from the
// store. One sync of the disk per set instead of two per file, and a kill or
// a power cut at any moment still leaves each message in its store or in a
// whole file.

#include "ItemReport.h"
#include "MsgExporter.h"
#include "platform/msg/AtomicFileWriter.h"

#include <QString>

#include <memory>
#include <vector>

namespace kestrel::platform {
class MailItem;
}

namespace kestrel::engine {

class ItemReporter;
struct TaskCounters;
struct TaskSettings;

class PendingExports {
public:
    // A set ends at whichever comes first: long enough to share the syncs,
    // short enough that its unsynced files stay a small part of memory.
    static constexpr std::size_t kLargestSet = 256;
    static constexpr qint64 kLargestSetBytes = 64 << 20;

    // Whether the run's exports wait in sets: a Move or Copy into a disk
    // folder that is no preview.
    static bool IsUsedFor(const TaskSettings& settings);

    // directory: the folder the files go into, made already.
    PendingExports(const TaskSettings& settings, platform::Session* session, MsgExporter& exporter,
                   TaskCounters& counters, ItemReporter& reporter, QString directory);
    PendingExports(const PendingExports&) = delete;
    PendingExports& operator=(const PendingExports&) = delete;
    // Finishes what still waits.
    ~PendingExports();

    // Writes the item's message; a failure is counted and reported at once,
    // a written file waits. A full set is finished.
    void add(std::unique_ptr<platform::MailItem> item, ItemReport row);
    // Makes the waiting files durable and puts them in place, removes a
    // Move's messages, and counts and reports each item once.
    void finish();

private:
    struct Entry {
        std::unique_ptr<platform::MailItem> item;    // as listed, for its size
        std::unique_ptr<platform::MailItem> message; // the same through the session
        ItemReport row;
        PreparedMsg file;
    };

    // Not exported: "already gone" when the message is, else failed.
    void notDone(Entry& entry, const platform::PlatformError& error);
    void failed(Entry& entry, const platform::PlatformError& error);
    void done(Entry& entry);

    const TaskSettings& m_settings;
    platform::Session* m_session;
    MsgExporter& m_exporter;
    TaskCounters& m_counters;
    ItemReporter& m_reporter;
    QString m_directory;
    std::vector<Entry> m_entries;
    qint64 m_bytes = 0;
    // Opened before the set's first file is written.
    std::unique_ptr<platform::msg::FileSystemSync> m_sync;
};

} // namespace kestrel::engine
