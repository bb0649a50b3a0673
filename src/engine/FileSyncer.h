#pragma once

// Makes a file durable on a thread of its own, so that the thread writing it
// does not wait for the disk. A sync covers what was written before it was
// asked for. Asking for one first waits for the one before it, so that what
// is not yet on disk never spans more than two requests' worth of writes.

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestrel::engine {

class FileSyncer {
public:
    // fd must stay open until this is gone.
    explicit FileSyncer(int fd);
    ~FileSyncer(); // after the sync asked for last
    FileSyncer(const FileSyncer&) = delete;
    FileSyncer& operator=(const FileSyncer&) = delete;

    void request();
    // Waits for the sync asked for last; the errno of the first that failed, 0 when none did.
    int wait();

private:
    void run();

    const int m_fd;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_asked = false; // a sync is asked for or running
    bool m_stop = false;
    int m_error = 0;
    std::thread m_thread; // last: started once the rest is set
};

} // namespace kestrel::engine
