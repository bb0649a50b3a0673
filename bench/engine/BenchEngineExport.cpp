// kestrel-bench-engine-export [--messages N]: a Copy of N messages to a disk
// folder as .msg files through the real engine, durable, beside a plain cp -a
// of the whole store. Last line: ratio= (engine time over cp's) and
// files_per_s=.

#include "EngineBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>

#include <cstdio>
#include <unistd.h>

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
    // The corpus on disk first, as a user's store is: the run's syncs then
    // pay for its own files only.
    ::sync();
    const double corpusPeak = peakRssMiB();
    const double cpuBefore = cpuSeconds();
    const EngineResult result = runEngine(profile, 1, false, disk);
    const double cpu = cpuSeconds() - cpuBefore;
    const double runPeak = peakRssMiB();
    // Counted one by one: a list of every file would be the biggest thing
    // in this process.
    qint64 files = 0;
    for (QDirIterator it(disk + QStringLiteral("/Inbox"), {QStringLiteral("*.msg")}, QDir::Files);
         it.hasNext(); it.next())
        ++files;
    const double cpSeconds =
        secondsOf([&] { copyTree(work + QStringLiteral("/store"), work + QStringLiteral("/cp")); });
    clearDir(work);
    const double filesPerSecond = double(files) / result.seconds;
    std::printf(
        "copy to disk as .msg: %lld exported (%lld files), %lld failed in %.2f s (%.0f "
        "files/s); cp -a of the whole store %.2f s; peak RSS %.1f MiB (%.1f MiB before the run)\n",
        static_cast<long long>(result.counters.ProcessedCount), static_cast<long long>(files),
        static_cast<long long>(result.counters.FailedCount), result.seconds, filesPerSecond,
        cpSeconds, runPeak, corpusPeak);
    std::printf("engine CPU time %.2f s (%.0f files per CPU second)\n", cpu, double(files) / cpu);
    std::printf("ratio=%.2f files_per_s=%.0f\n", result.seconds / cpSeconds, filesPerSecond);
    return files == args.messages && result.counters.FailedCount == 0 ? 0 : 1;
}
