#include "HeaderReadAhead.h"

#include "MaildirBackend.h"
#include "MessageHeaders.h"

#include <sys/stat.h>

namespace kestrel::platform::maildir {

HeaderReadAhead::HeaderReadAhead(const QString& folderDir,
                                 std::shared_ptr<const FolderListing> listing,
                                 const std::vector<quint32>& positions)
    : m_cur(folderDir + QLatin1String("/cur")), m_new(folderDir + QLatin1String("/new")),
      m_listing(std::move(listing)), m_positions(positions), m_slots(size_t(kWindow)),
      m_next(qsizetype(positions.size()) - 1), m_taken(qsizetype(positions.size())),
      m_thread([this] { run(); })
{
}

HeaderReadAhead::~HeaderReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

std::optional<HeaderReadAhead::Block> HeaderReadAhead::take(qsizetype index)
{
    std::unique_lock lock(m_mutex);
    m_taken = index;
    if (m_next >= index) {
        m_next = index - 1; // not reached: the item reads itself, and what it passed is not read
        wakeIfIdle(lock);
        return std::nullopt;
    }
    std::optional<Block> found;
    for (;;) {
        Slot& slot = m_slots[size_t(index % kWindow)];
        if (slot.index != index || slot.state != Slot::State::Reading) {
            if (slot.index == index && slot.state == Slot::State::Read)
                found = std::move(slot.block);
            if (slot.index == index)
                slot = {};
            break;
        }
        // The thread is reading it this moment: read the next ones meanwhile,
        // which costs the run nothing it would not spend on them later.
        if (const qsizetype next = claim(); next >= 0) {
            readClaimed(next, lock);
        } else {
            lock.unlock();
            std::this_thread::yield();
            lock.lock();
        }
    }
    wakeIfIdle(lock);
    return found;
}

qsizetype HeaderReadAhead::room() const
{
    return m_next < 0 ? 0 : m_next - (m_taken - kWindow);
}

void HeaderReadAhead::wakeIfIdle(std::unique_lock<std::mutex>& lock)
{
    // Woken for a batch, not for every slot the run frees: a wake-up takes
    // longer than a read, and a thread woken for each would fall behind.
    const bool wake = m_idle && room() >= kBatch;
    lock.unlock();
    if (wake)
        m_wake.notify_one();
}

qsizetype HeaderReadAhead::claim()
{
    if (room() <= 0)
        return -1;
    const qsizetype index = m_next--;
    m_slots[size_t(index % kWindow)] = {index, Slot::State::Reading, {}};
    return index;
}

void HeaderReadAhead::readClaimed(qsizetype index, std::unique_lock<std::mutex>& lock)
{
    lock.unlock();
    std::optional<Block> block = read(index);
    lock.lock();
    Slot& slot = m_slots[size_t(index % kWindow)];
    if (slot.index != index)
        return;
    if (index > m_taken) // the run went past it
        slot = {};
    else if (block)
        slot = {index, Slot::State::Read, std::move(*block)};
    else
        slot.state = Slot::State::Failed;
}

void HeaderReadAhead::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (const qsizetype index = claim(); index >= 0) {
            readClaimed(index, lock);
            continue;
        }
        m_idle = true;
        m_wake.wait(lock, [this] { return m_stop || room() >= kBatch; });
        m_idle = false;
    }
}

std::optional<HeaderReadAhead::Block> HeaderReadAhead::read(qsizetype index) const
{
    const qsizetype position = qsizetype(m_positions[size_t(index)]);
    // Only what the listing saw as a regular file: anything else is left to
    // the item, which refuses it with the reason.
    const int dirFd = m_listing->inNewAt(position) ? m_new.fd : m_cur.fd;
    if (dirFd < 0 || !m_listing->regularAt(position))
        return std::nullopt;
    struct stat st {};
    const int fd = openRegularAt(dirFd, m_listing->nameBytesAt(position), &st);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> bytes = readHeaderBlock(fd, QString(), nullptr);
    if (!bytes)
        return std::nullopt;
    Block block{*bytes, std::make_shared<const HeaderFields>(*bytes), MaildirBackend::clockNs()};
    return block;
}

} // namespace kestrel::platform::maildir
