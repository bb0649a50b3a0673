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
    if (!args.keep)
        clearDir(args.workDir);
    std::printf("preview of %d messages: %lld would be moved in %.2f s (%.0f msg/s); peak RSS "
                "%.1f MiB; target < 2 s\n",
                args.messages, static_cast<long long>(result.counters.ProcessedCount),
                result.seconds, args.messages / result.seconds, peakRssMiB());
    return 0;
}
