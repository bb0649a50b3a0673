#pragma once

// Starts the fault child again and again and kills it (SIGKILL) at random
// moments, for the fault tests.

#include <QRandomGenerator>
#include <QStringList>

#include <functional>

namespace kestrel::test {

struct KillPlan {
    int work = 0;  // messages the whole run would handle
    int kills = 0; // kills that must hit a running child
    // Shortens every waiting time, for a machine too fast for them.
    double scale = 1.0;
    // The longest wait before a kill.
    quint32 longestMsecs = 3000;
};

// The seed of a test's kill moments: KESTREL_FAULT_SEED when set (to replay a
// failure), else a fresh one. Printed either way.
quint32 faultSeed();

// Returns how many kills hit a running child, or -1 when it cannot start. The
// moments adapt to the speed seen so far (done() counts the messages handled),
// so that the kills spread over about half of the work on a fast or a slow
// machine alike. afterKill runs after each kill that hit.
int killRepeatedly(const QStringList& childArgs, const KillPlan& plan, QRandomGenerator& random,
                   const std::function<qint64()>& done,
                   const std::function<void()>& afterKill = {});

// The child's path.
QString faultChild();

} // namespace kestrel::test
