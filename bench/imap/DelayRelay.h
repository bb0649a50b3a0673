#pragma once

// A TCP relay on 127.0.0.1 that holds every byte for a fixed time in each
// direction, so that a client on the same machine sees a far server's round
// trip. Throughput is not limited: bytes in flight overlap as on a real link.

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrel::bench {

class DelayRelay {
public:
    // Relays to 127.0.0.1:targetPort, delaying each direction by oneWayMs.
    DelayRelay(int targetPort, int oneWayMs);
    ~DelayRelay();
    DelayRelay(const DelayRelay&) = delete;
    DelayRelay& operator=(const DelayRelay&) = delete;

    // Starts listening; the port to connect to, or 0 on failure.
    int start();
    int port() const { return m_port; }

private:
    void acceptLoop();
    void relay(int client);

    int m_targetPort;
    int m_oneWayMs;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_connections;
};

} // namespace kestrel::bench
