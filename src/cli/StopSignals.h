#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace kestrel::cli {

// SIGINT and SIGTERM act as the Stop button: the handler only writes a byte
// to a pipe, and the event queue (which the run lets in at its safe points)
// calls onStop. A second signal ends the program at once, as it would
// without us.
class StopSignals : public QObject {
public:
    explicit StopSignals(std::function<void()> onStop);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // False when the pipe or the handlers could not be set up.
    bool installed() const { return m_installed; }
    // A signal came (its call may still be waiting in the event queue).
    bool received() const;

private:
    void readPipe();

    std::function<void()> m_onStop;
    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};

} // namespace kestrel::cli
