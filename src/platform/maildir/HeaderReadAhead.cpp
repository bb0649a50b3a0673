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
    std::optional<Block> found;
    {
        const std::lock_guard lock(m_mutex);
        m_taken = index;
        if (m_next >= index)
            m_next = index - 1; // what the run has passed is not read any more
        Slot& slot = m_slots[size_t(index % kWindow)];
        if (slot.index == index) {
            found = std::move(slot.block);
            slot = {};
        }
    }
    m_wake.notify_one();
    return found;
}

void HeaderReadAhead::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || (m_next >= 0 && m_next > m_taken - kWindow); });
        if (m_stop)
            return;
        const qsizetype index = m_next--;
        lock.unlock();
        std::optional<QByteArray> bytes = read(index);
        const qint64 readAt = MaildirBackend::clockNs();
        lock.lock();
        if (bytes && index < m_taken)
            m_slots[size_t(index % kWindow)] = {index, {std::move(*bytes), readAt}};
    }
}

std::optional<QByteArray> HeaderReadAhead::read(qsizetype index) const
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
    return readHeaderBlock(fd, QString(), nullptr);
}

} // namespace kestrel::platform::maildir
