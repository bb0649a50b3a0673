#include "FileSyncer.h"

#include <cerrno>
#include <unistd.h>

namespace kestrel::engine {

FileSyncer::FileSyncer(int fd) : m_fd(fd), m_thread([this] { run(); }) {}

FileSyncer::~FileSyncer()
{
    wait();
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void FileSyncer::request()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_asked; });
    m_asked = true;
    lock.unlock();
    m_changed.notify_all();
}

int FileSyncer::wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_asked; });
    return m_error;
}

void FileSyncer::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_asked; });
        if (m_stop)
            return;
        lock.unlock();
        const int error = ::fsync(m_fd) == 0 ? 0 : errno;
        lock.lock();
        if (error && !m_error)
            m_error = error;
        m_asked = false;
        m_changed.notify_all();
    }
}

} // namespace kestrel::engine
