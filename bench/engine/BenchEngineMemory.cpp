// kestrel-bench-engine-memory [--messages N]: peak resident memory of a
// process that runs a Preview of a Move over 1,000 and over N messages
// through the real engine. Flat means: the large run needs little more.
// Then the Preview of N messages again with its report kept as the window
// keeps it, beside the same Preview whose rows are dropped.

#include "EngineBench.h"
#include "engine/ReportRow.h"
#include "engine/RunReport.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrel::bench;

namespace {

// Peak RSS (MiB) of a fresh process running the preview; -1 on failure.
double childPeak(const char* self, const QString& profile, qint64* processed,
                 bool keepReport = false)
{
    const QByteArray profileArg = QFile::encodeName(profile);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execl(self, self, keepReport ? "--child-report" : "--child", profileArg.constData(),
                nullptr);
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buffer[64] = {};
    const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer - 1);
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    *processed = got > 0 ? std::atoll(buffer) : -1;
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strncmp(argv[1], "--child", 7) == 0) {
        QCoreApplication app(argc, argv);
        // The rows are kept as the window keeps them, or dropped.
        kestrel::engine::RunReport report;
        qint64 rows = 0;
        const bool keep = std::strcmp(argv[1], "--child-report") == 0;
        const EngineResult result =
            runEngine(QString::fromLocal8Bit(argv[2]), 0, true, {},
                      [&](const kestrel::engine::ItemReport& row) {
                          ++rows;
                          if (keep)
                              report.append(kestrel::engine::ReportRow::from(row));
                      });
        std::fprintf(stderr, "%s: %lld rows, %lld kept, %.2f s\n", keep ? "with report" : "without",
                     static_cast<long long>(rows), static_cast<long long>(report.rowCount()),
                     result.seconds);
        std::printf("%lld\n", static_cast<long long>(result.counters.ProcessedCount));
        return 0;
    }
    QCoreApplication app(argc, argv);
    const BenchArgs args = parseArgs(argc, argv, 100000, "kestrel-bench-engine-memory");
    double peaks[2] = {};
    const int sizes[2] = {1000, args.messages};
    for (int i = 0; i < 2; ++i) {
        clearDir(args.workDir);
        writeCorpus(args.workDir + QStringLiteral("/store"), sizes[i]);
        makeMaildir(args.workDir + QStringLiteral("/archive"));
        const QString profile = writeProfile(
            args.workDir, {{QStringLiteral("Personal Folders"), QStringLiteral("store")},
                           {QStringLiteral("Archive"), QStringLiteral("archive")}});
        qint64 processed = 0;
        peaks[i] = childPeak(argv[0], profile, &processed);
        std::printf("preview of %d messages: %lld would be moved, peak RSS %.1f MiB\n", sizes[i],
                    static_cast<long long>(processed), peaks[i]);
    }
    std::printf("peak RSS: %.1f MiB at 1000, %.1f MiB at %d; ratio %.2f (flat: close to 1)\n",
                peaks[0], peaks[1], args.messages, peaks[1] / peaks[0]);

    // The corpus of N is still there; the preview moves nothing.
    const QString profile = args.workDir + QStringLiteral("/profile.ini");
    qint64 processed = 0;
    const double withReport = childPeak(argv[0], profile, &processed, true);
    std::printf("preview of %d messages with its report kept: peak RSS %.1f MiB\n", args.messages,
                withReport);
    std::printf("report of %d messages: %+.1f MiB beside the preview without it (%.1f MiB)\n",
                args.messages, withReport - peaks[1], peaks[1]);
    clearDir(args.workDir);
    return 0;
}
