#include "StopSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kestrel::cli {

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_received{false};

void onSignal(int)
{
    const int saved = errno;
    g_received = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

bool setHandler(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // The handler goes after its first call: a second Ctrl+C ends the program.
    action.sa_flags = handler == SIG_DFL ? 0 : (SA_RESTART | SA_RESETHAND);
    return sigaction(signal, &action, nullptr) == 0;
}

} // namespace

StopSignals::StopSignals(std::function<void()> onStop) : m_onStop(std::move(onStop))
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);
    m_installed = setHandler(SIGINT, onSignal) && setHandler(SIGTERM, onSignal);
}

StopSignals::~StopSignals()
{
    setHandler(SIGINT, SIG_DFL);
    setHandler(SIGTERM, SIG_DFL);
    delete m_notifier;
    for (int& end : g_pipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

bool StopSignals::received() const
{
    return g_received;
}

void StopSignals::readPipe()
{
    char bytes[16];
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (m_onStop)
        m_onStop();
}

} // namespace kestrel::cli
