#include "LargeStack.h"

#include <pthread.h>

namespace kestrel::platform::msg {

namespace {

constexpr size_t StackSize = size_t(1) << 30;

void* trampoline(void* arg)
{
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
}

} // namespace

void runOnLargeStack(const std::function<void()>& work)
{
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        work();
        return;
    }
    pthread_t thread;
    const bool started =
        pthread_attr_setstacksize(&attr, StackSize) == 0 &&
        pthread_create(&thread, &attr, trampoline, const_cast<std::function<void()>*>(&work)) == 0;
    pthread_attr_destroy(&attr);
    if (!started) {
        work();
        return;
    }
    pthread_join(thread, nullptr);
}

} // namespace kestrel::platform::msg
