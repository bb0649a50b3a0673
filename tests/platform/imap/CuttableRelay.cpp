#include "CuttableRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::test {

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

CuttableRelay::~CuttableRelay()
{
    if (m_listener >= 0)
        ::shutdown(m_listener, SHUT_RDWR);
    if (m_acceptor.joinable())
        m_acceptor.join();
    cut();
    for (std::thread& pump : m_pumps)
        pump.join();
    if (m_listener >= 0)
        ::close(m_listener);
    for (int socket : m_sockets)
        ::close(socket);
}

int CuttableRelay::start()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    m_acceptor = std::thread([this] { acceptLoop(); });
    return ntohs(address.sin_port);
}

void CuttableRelay::cut(bool down)
{
    std::lock_guard lock(m_mutex);
    m_down = down;
    for (int socket : m_sockets)
        ::shutdown(socket, SHUT_RDWR);
}

void CuttableRelay::acceptLoop()
{
    for (;;) {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return; // the listener was shut down
        {
            std::lock_guard lock(m_mutex);
            if (m_down) {
                ::close(client);
                continue;
            }
        }
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in target = loopback(m_targetPort);
        if (server < 0 ||
            ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
            ::close(client);
            if (server >= 0)
                ::close(server);
            continue;
        }
        std::lock_guard lock(m_mutex);
        m_sockets.push_back(client);
        m_sockets.push_back(server);
        m_pumps.emplace_back([client, server] { pump(client, server); });
    }
}

void CuttableRelay::pump(int a, int b)
{
    pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    char buffer[65536];
    for (;;) {
        if (::poll(fds, 2, -1) < 0)
            return;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0 || ::send(fds[1 - i].fd, buffer, size_t(got), MSG_NOSIGNAL) != got) {
                ::shutdown(a, SHUT_RDWR);
                ::shutdown(b, SHUT_RDWR);
                return;
            }
        }
    }
}

} // namespace kestrel::test
