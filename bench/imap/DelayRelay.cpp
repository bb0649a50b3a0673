#include "DelayRelay.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <deque>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::bench {

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
    Clock::time_point due;
    std::string bytes;
};

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void noDelay(int fd)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

DelayRelay::DelayRelay(int targetPort, int oneWayMs)
    : m_targetPort(targetPort), m_oneWayMs(oneWayMs)
{
}

DelayRelay::~DelayRelay()
{
    m_stopping = true;
    if (m_listener >= 0)
        ::shutdown(m_listener, SHUT_RDWR);
    if (m_acceptor.joinable())
        m_acceptor.join();
    if (m_listener >= 0)
        ::close(m_listener);
    std::lock_guard lock(m_mutex);
    for (std::thread& connection : m_connections)
        connection.join();
}

int DelayRelay::start()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
    return m_port;
}

void DelayRelay::acceptLoop()
{
    while (!m_stopping) {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        std::lock_guard lock(m_mutex);
        m_connections.emplace_back([this, client] { relay(client); });
    }
}

// One connection both ways: bytes read are sent on once they are due.
void DelayRelay::relay(int client)
{
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(m_targetPort);
    if (server < 0 ||
        ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(client);
        if (server >= 0)
            ::close(server);
        return;
    }
    noDelay(client);
    noDelay(server);
    const int fds[2] = {client, server};
    std::deque<Chunk> queues[2]; // queues[i]: read from fds[i], bound for the other
    bool open[2] = {true, true};
    const auto delay = std::chrono::milliseconds(m_oneWayMs);
    char buffer[65536];
    while (!m_stopping && ((open[0] && open[1]) || !queues[0].empty() || !queues[1].empty())) {
        const Clock::time_point now = Clock::now();
        for (int i = 0; i < 2; ++i) {
            while (!queues[i].empty() && queues[i].front().due <= now) {
                if (!writeAll(fds[1 - i], queues[i].front().bytes)) {
                    open[0] = open[1] = false;
                    queues[0].clear();
                    queues[1].clear();
                    break;
                }
                queues[i].pop_front();
            }
            // The other side learns of a close once everything before it arrived.
            if (!open[i] && queues[i].empty())
                ::shutdown(fds[1 - i], SHUT_WR);
        }
        int timeout = 200;
        for (const auto& queue : queues) {
            if (!queue.empty()) {
                const auto wait =
                    std::chrono::ceil<std::chrono::milliseconds>(queue.front().due - Clock::now());
                timeout = std::max(0, std::min(timeout, int(wait.count())));
            }
        }
        pollfd polls[2] = {{client, short(open[0] ? POLLIN : 0), 0},
                           {server, short(open[1] ? POLLIN : 0), 0}};
        if (::poll(polls, 2, timeout) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (!open[i] || !(polls[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::recv(fds[i], buffer, sizeof buffer, 0);
            if (n <= 0)
                open[i] = false;
            else
                queues[i].push_back({Clock::now() + delay, std::string(buffer, size_t(n))});
        }
    }
    ::close(client);
    ::close(server);
}

} // namespace kestrel::bench
