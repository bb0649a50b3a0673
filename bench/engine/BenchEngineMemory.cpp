// kestrel-bench-engine-memory [--messages N]: peak resident memory of a
// process that runs a Preview of a Move over 1,000 and over N messages
// through the real engine. Flat means: the large run needs little more.

#include "EngineBench.h"

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
double childPeak(const char* self, const QString& profile, qint64* processed)
{
    const QByteArray profileArg = QFile::encodeName(profile);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execl(self, self, "--child", profileArg.constData(), nullptr);
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
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
        QCoreApplication app(argc, argv);
        const EngineResult result = runEngine(QString::fromLocal8Bit(argv[2]), 0, true);
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
    clearDir(args.workDir);
    std::printf("peak RSS: %.1f MiB at 1000, %.1f MiB at %d; ratio %.2f (flat: close to 1)\n",
                peaks[0], peaks[1], args.messages, peaks[1] / peaks[0]);
    return 0;
}
