#include "LargeStack.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <pthread.h>

namespace kestrel::platform::msg {

namespace {

constexpr size_t StackSize = size_t(1) << 30;

thread_local bool t_onLargeStack = false;

// One worker per calling thread, kept for the thread's life: making a thread
// per message cost more than reading a small message.
class Worker {
public:
    bool start()
    {
        pthread_attr_t attr;
        if (pthread_attr_init(&attr) != 0)
            return false;
        m_started = pthread_attr_setstacksize(&attr, StackSize) == 0 &&
                    pthread_create(&m_thread, &attr, &Worker::loop, this) == 0;
        pthread_attr_destroy(&attr);
        return m_started;
    }

    ~Worker()
    {
        if (!m_started)
            return;
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        pthread_join(m_thread, nullptr);
    }

    void run(const std::function<void()>& work)
    {
        std::unique_lock lock(m_mutex);
        m_job = &work;
        m_wake.notify_all();
        m_done.wait(lock, [this] { return m_job == nullptr; });
    }

private:
    static void* loop(void* self)
    {
        t_onLargeStack = true;
        auto* w = static_cast<Worker*>(self);
        std::unique_lock lock(w->m_mutex);
        while (true) {
            w->m_wake.wait(lock, [w] { return w->m_quit || w->m_job; });
            if (w->m_job) {
                (*w->m_job)();
                w->m_job = nullptr;
                w->m_done.notify_all();
            } else if (w->m_quit) {
                return nullptr;
            }
        }
    }

    pthread_t m_thread{};
    bool m_started = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void()>* m_job = nullptr;
    bool m_quit = false;
};

thread_local std::unique_ptr<Worker> t_worker;

} // namespace

void runOnLargeStack(const std::function<void()>& work)
{
    if (t_onLargeStack) {
        work();
        return;
    }
    if (!t_worker) {
        auto worker = std::make_unique<Worker>();
        if (!worker->start()) {
            work();
            return;
        }
        t_worker = std::move(worker);
    }
    t_worker->run(work);
}

} // namespace kestrel::platform::msg
