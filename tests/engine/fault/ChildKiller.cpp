#include "ChildKiller.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace kestrel::test {

quint32 faultSeed()
{
    bool given = false;
    quint32 seed = qEnvironmentVariable("KESTREL_FAULT_SEED").toUInt(&given);
    if (!given)
        seed = QRandomGenerator::system()->generate();
    std::printf("kill moments from seed %u (KESTREL_FAULT_SEED=%u replays them)\n", seed, seed);
    return seed;
}

QString faultChild()
{
    return QStringLiteral(KESTREL_BINARY_DIR) + QStringLiteral("/bin/kestrel-engine-fault-child");
}

int killRepeatedly(const QStringList& childArgs, const KillPlan& plan, QRandomGenerator& random,
                   const std::function<qint64()>& done, const std::function<void()>& afterKill)
{
    int hits = 0;
    qint64 runningMsecs = 0;
    quint32 untilFirstDone = quint32(200 * plan.scale); // grows while nothing is handled yet
    for (int attempt = 0; attempt < plan.kills * 3 && hits < plan.kills; ++attempt) {
        const qint64 handled = done();
        const double perMsec = runningMsecs > 0 ? double(handled) / runningMsecs : 0;
        const qint64 share = std::max<qint64>(plan.work / 2 - handled, 1) / (plan.kills - hits);
        if (handled == 0 && attempt > 0)
            untilFirstDone = std::min(untilFirstDone * 2, plan.longestMsecs);
        const qint64 shortestWindow = std::max<qint64>(qint64(60 * plan.scale), 21);
        const quint32 longest =
            perMsec > 0 ? quint32(std::clamp<qint64>(qint64(2 * share / perMsec), shortestWindow,
                                                     qint64(plan.longestMsecs)))
                        : std::max(untilFirstDone, 21u);
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(faultChild(), childArgs);
        if (!process.waitForStarted())
            return -1;
        QThread::msleep(random.bounded(20u, longest));
        const bool hit = process.state() == QProcess::Running;
        if (hit) {
            process.kill();
            ++hits;
        }
        process.waitForFinished();
        runningMsecs += timer.elapsed();
        if (hit && afterKill)
            afterKill();
    }
    return hits;
}

} // namespace kestrel::test
