// kestrel-bench-engine-preview [--messages N] [--rounds R]: a Preview of a Move
// by date over N messages (half of them in range) through the real engine,
// beside a loop that stats and reads the same files; the ratio is of the
// medians of R interleaved rounds.

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
    const qint64 cutoff = QDateTime(QDate(2020, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    EngineResult result;
    int inRange = 0;
    std::vector<double> engineSeconds;
    std::vector<double> loopSeconds;
    for (int round = 0; round < args.rounds; ++round) {
        const auto runPreview = [&] {
            result = runEngine(profile, 0, true);
            engineSeconds.push_back(result.seconds);
        };
        const auto runLoop = [&] {
            loopSeconds.push_back(secondsOf([&] {
                inRange = headerLoop(args.workDir + QStringLiteral("/store"), true, false, cutoff);
            }));
        };
        // Which goes first changes each round.
        if (round % 2 == 0) {
            runPreview();
            runLoop();
        } else {
            runLoop();
            runPreview();
        }
    }
    const double engine = medianOf(engineSeconds);
    const double loop = medianOf(loopSeconds);
    if (!args.keep)
        clearDir(args.workDir);
    std::printf("preview of %d messages: %lld would be moved in %.2f s (%.0f msg/s), median of "
                "%s; peak RSS %.1f MiB\n",
                args.messages, static_cast<long long>(result.counters.ProcessedCount), engine,
                args.messages / engine, listOf(engineSeconds).constData(), peakRssMiB());
    std::printf("stat + read 4 kB loop: %d in range in %.2f s, median of %s\n", inRange, loop,
                listOf(loopSeconds).constData());
    // The preview over the loop, target <= 1.0.
    std::printf("ratio=%.2f\n", engine / loop);
    return 0;
}
