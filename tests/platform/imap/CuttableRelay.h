#pragma once

// A TCP relay on 127.0.0.1 to a local server whose connections can be cut,
// as a server going down cuts them: the client sees its connection end in
// the middle of a run, without waiting for a timeout.

#include <mutex>
#include <thread>
#include <vector>

namespace kestrel::test {

class CuttableRelay {
public:
    explicit CuttableRelay(int targetPort) : m_targetPort(targetPort) {}
    ~CuttableRelay();
    CuttableRelay(const CuttableRelay&) = delete;
    CuttableRelay& operator=(const CuttableRelay&) = delete;

    // Listens; the port to connect to, or 0.
    int start();
    // Ends every connection relayed so far; new ones are relayed again
    // unless down, when they are closed at once as by a server going away.
    void cut(bool down = false);

private:
    void acceptLoop();
    static void pump(int a, int b);

    int m_targetPort;
    int m_listener = -1;
    std::thread m_acceptor;
    std::mutex m_mutex;
    bool m_down = false;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_pumps;
};

} // namespace kestrel::test
