// kestrel-bench-engine-preview [--messages N]: a Preview of a Move by date over
// N messages (half of them in range) through the real engine.

#include "EngineBench.h"

#include <QCoreApplication>

#include <cstdio>

using namespace kestrel::bench;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchArgs args = parseArgs(argc, argv, 100000, "kestrel-bench-engine-preview");
    if (!args.keep)
        clearDir(args.workDir);
    prepareCorpus(args, args.workDir + QStringLiteral("/store"), args.messages);
    makeMaildir(args.workDir + QStringLiteral("/archive"));
    const QString profile =
        writeProfile(args.workDir, {{QStringLiteral("Personal Folders"), QStringLiteral("store")},
                                    {QStringLiteral("Archive"), QStringLiteral("archive")}});
    runEngine(profile, 0, true); // warms the cache
    const EngineResult result = runEngine(profile, 0, true);
    const qint64 cutoff = QDateTime(QDate(2020, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    int inRange = 0;
    const double loopSeconds = secondsOf([&] {
        inRange = headerLoop(args.workDir + QStringLiteral("/store"), true, false, cutoff);
    });
    if (!args.keep)
        clearDir(args.workDir);
    std::printf("preview of %d messages: %lld would be moved in %.2f s (%.0f msg/s); peak RSS "
                "%.1f MiB\n",
                args.messages, static_cast<long long>(result.counters.ProcessedCount),
                result.seconds, args.messages / result.seconds, peakRssMiB());
    std::printf("stat + read 4 kB loop: %d in range in %.2f s\n", inRange, loopSeconds);
    // The preview over the loop, target <= 1.0.
    std::printf("ratio=%.2f\n", result.seconds / loopSeconds);
    return 0;
}
