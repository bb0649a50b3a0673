// kestrel-bench-engine-export [--messages N]: a Copy of N messages to a disk
// folder as .msg files through the real engine, beside a plain cp of the same
// files.

#include "EngineBench.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace kestrel::bench;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchArgs args = parseArgs(argc, argv, 10000, "kestrel-bench-engine-export");
    const QString work = args.workDir;
    clearDir(work);
    // Half of the corpus is in range: N messages to export.
    writeCorpus(work + QStringLiteral("/store"), 2 * args.messages);
    makeMaildir(work + QStringLiteral("/archive"));
    const QString profile =
        writeProfile(work, {{QStringLiteral("Personal Folders"), QStringLiteral("store")},
                            {QStringLiteral("Archive"), QStringLiteral("archive")}});
    const QString disk = work + QStringLiteral("/disk");
    QDir().mkpath(disk);
    const EngineResult result = runEngine(profile, 1, false, disk);
    const qsizetype files = QDir(disk + QStringLiteral("/Inbox"))
                                .entryList({QStringLiteral("*.msg")}, QDir::Files)
                                .size();
    const double cpSeconds =
        secondsOf([&] { copyTree(work + QStringLiteral("/store"), work + QStringLiteral("/cp")); });
    clearDir(work);
    std::printf("copy to disk as .msg: %lld exported (%lld files), %lld failed in %.2f s (%.0f "
                "msg/s); cp -a of the whole store %.2f s; peak RSS %.1f MiB; engine/cp %.1f\n",
                static_cast<long long>(result.counters.ProcessedCount),
                static_cast<long long>(files), static_cast<long long>(result.counters.FailedCount),
                result.seconds, result.counters.ProcessedCount / result.seconds, cpSeconds,
                peakRssMiB(), result.seconds / cpSeconds);
    return 0;
}
