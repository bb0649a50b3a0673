#pragma once

// Reads the header blocks of a restriction's messages on a thread of its own,
// a bounded way ahead of the run that takes them (from the last), so that the
// run's thread spends its time on the action and the report. Each block is
// read once, by whoever claims it first: an item the thread has not reached
// is read by the item itself, and while the run waits for a block the thread
// is still reading it reads the next ones itself rather than sit idle.

#include "FileAccess.h"
#include "FolderListing.h"
#include "HeaderFields.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kestrel::platform::maildir {

class HeaderReadAhead {
public:
    struct Block {
        QByteArray bytes;
        std::shared_ptr<const HeaderFields> fields; // of bytes, scanned here: off the run's thread
        qint64 readAtNs = 0;                        // monotonic
    };

    // positions: each item's place in the listing, by index; it must outlive this.
    HeaderReadAhead(const QString& folderDir, std::shared_ptr<const FolderListing> listing,
                    const std::vector<quint32>& positions);
    ~HeaderReadAhead();
    HeaderReadAhead(const HeaderReadAhead&) = delete;
    HeaderReadAhead& operator=(const HeaderReadAhead&) = delete;

    // The block of the item at index (0-based) if it has been read; the
    // reading then goes on below index. Nothing when the item is to read
    // itself: not reached yet, or the read failed and the item gives the reason.
    std::optional<Block> take(qsizetype index);

private:
    static constexpr qsizetype kWindow = 256;
    static constexpr qsizetype kBatch = 32; // free slots that wake an idle thread
    struct Slot {
        enum class State { Empty, Reading, Read, Failed };
        qsizetype index = -1;
        State state = State::Empty;
        Block block;
    };

    void run();
    // Under the lock: how many indexes may be claimed now.
    qsizetype room() const;
    // Unlocks, and wakes the thread when it waits and a batch may be claimed.
    void wakeIfIdle(std::unique_lock<std::mutex>& lock);
    // Under the lock: the next index to read, marked as being read; -1 when
    // none may be read now.
    qsizetype claim();
    // Reads a claimed index, dropping and taking the lock around the read.
    void readClaimed(qsizetype index, std::unique_lock<std::mutex>& lock);
    std::optional<Block> read(qsizetype index) const;

    const DirectoryHandle m_cur;
    const DirectoryHandle m_new;
    std::shared_ptr<const FolderListing> m_listing;
    const std::vector<quint32>& m_positions;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Slot> m_slots;
    qsizetype m_next;  // the next index to claim, going down; -1 when all are
    qsizetype m_taken; // the index asked for last
    bool m_stop = false;
    bool m_idle = false;  // the thread waits for room
    std::thread m_thread; // last: started once the rest is set
};

} // namespace kestrel::platform::maildir
