// kestrel-bench-engine-move [--messages N] [--rounds R]: a Move by date of N
// messages (half of them in range) from one store to another through the real
// engine, beside `doveadm move` and plain rename(2) loops over copies of the
// same data. The ratio is of the medians of R interleaved rounds.

#include "EngineBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <unistd.h>

using namespace kestrel::bench;

namespace {

int filesIn(const QString& maildir)
{
    return int(QDir(maildir + QStringLiteral("/cur")).entryList(QDir::Files).size() +
               QDir(maildir + QStringLiteral("/new")).entryList(QDir::Files).size());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchArgs args = parseArgs(argc, argv, 100000, "kestrel-bench-engine-move");
    const QString work = args.workDir;
    clearDir(work);
    const QString base = work + QStringLiteral("/base");
    double seconds = secondsOf([&] { writeCorpus(base, args.messages); });
    std::printf("corpus: %d messages written in %.2f s\n", args.messages, seconds);

    // doveadm and the loop without reads run once; the engine and the loop
    // with reads, its floor, run in interleaved rounds, each over a fresh copy.
    const QString dv = work + QStringLiteral("/dv");
    QDir().mkpath(dv);
    bool ok = copyTree(base, dv + QStringLiteral("/Maildir")) &&
              makeMaildir(dv + QStringLiteral("/Maildir/.Archive")) &&
              copyTree(base, work + QStringLiteral("/rn2")) &&
              makeMaildir(work + QStringLiteral("/rn2/.Archive"));
    QFile conf(dv + QStringLiteral("/dovecot.conf"));
    ok = ok && conf.open(QIODevice::WriteOnly) &&
         conf.write(QStringLiteral("mail_location = maildir:%1/Maildir\nmail_home = %1\nssl = no\n"
                                   "log_path = /dev/stderr\n")
                        .arg(dv)
                        .toUtf8()) > 0;
    conf.close();
    ok = ok && QProcess::execute(QStringLiteral("chown"),
                                 {QStringLiteral("-R"), QStringLiteral("nobody:nogroup"), dv}) == 0;
    if (!ok) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(work));
        return 1;
    }

    const qint64 cutoff = QDateTime(QDate(2020, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    std::vector<double> engineSeconds;
    std::vector<double> loopSeconds;
    for (int round = 0; round < args.rounds; ++round) {
        const QString dir = work + QStringLiteral("/round");
        clearDir(dir);
        if (!copyTree(base, dir + QStringLiteral("/engine")) ||
            !makeMaildir(dir + QStringLiteral("/archive")) ||
            !copyTree(base, dir + QStringLiteral("/rn1")) ||
            !makeMaildir(dir + QStringLiteral("/rn1/.Archive"))) {
            std::fprintf(stderr, "cannot prepare %s\n", qPrintable(dir));
            return 1;
        }
        const QString profile =
            writeProfile(dir, {{QStringLiteral("Personal Folders"), QStringLiteral("engine")},
                               {QStringLiteral("Archive"), QStringLiteral("archive")}});
        const auto runEngineMove = [&] {
            // Every contender starts from the same place: the copies on disk,
            // not dirty in the page cache, where the first to run (and the only
            // one to fsync its journal) would pay for writing them back.
            ::sync();
            const double cpuBefore = cpuSeconds();
            const EngineResult engine = runEngine(profile, 0, false);
            engineSeconds.push_back(engine.seconds);
            std::printf("engine move: %lld moved, %lld failed in %.2f s (%.0f msg/s, %.2f CPU "
                        "seconds on all threads)  [%s]\n",
                        static_cast<long long>(engine.counters.ProcessedCount),
                        static_cast<long long>(engine.counters.FailedCount), engine.seconds,
                        engine.counters.ProcessedCount / engine.seconds, cpuSeconds() - cpuBefore,
                        qPrintable(engine.status));
        };
        const auto runLoop = [&] {
            int moved = 0;
            ::sync();
            loopSeconds.push_back(secondsOf(
                [&] { moved = headerLoop(dir + QStringLiteral("/rn1"), true, true, cutoff); }));
            std::printf("stat + read 4 kB + rename loop: %d moved in %.2f s\n", moved,
                        loopSeconds.back());
        };
        // Which goes first changes each round, so that neither always finds
        // the disk as the other left it.
        if (round % 2 == 0) {
            runEngineMove();
            runLoop();
        } else {
            runLoop();
            runEngineMove();
        }
    }

    QProcess doveadm;
    doveadm.setProcessChannelMode(QProcess::ForwardedChannels);
    const QStringList dvArgs = {QStringLiteral("--reuid=nobody"),
                                QStringLiteral("--regid=nogroup"),
                                QStringLiteral("--clear-groups"),
                                QStringLiteral("env"),
                                QStringLiteral("USER=nobody"),
                                QStringLiteral("HOME=") + dv,
                                QStringLiteral("doveadm"),
                                QStringLiteral("-c"),
                                dv + QStringLiteral("/dovecot.conf"),
                                QStringLiteral("move"),
                                QStringLiteral("Archive"),
                                QStringLiteral("mailbox"),
                                QStringLiteral("INBOX"),
                                QStringLiteral("BEFORE"),
                                QStringLiteral("2020-01-01")};
    ::sync();
    const double dvSeconds = secondsOf([&] {
        doveadm.start(QStringLiteral("setpriv"), dvArgs);
        doveadm.waitForFinished(-1);
    });
    const int dvMoved = filesIn(dv + QStringLiteral("/Maildir/.Archive"));
    std::printf("doveadm move BEFORE: %d moved in %.2f s (exit %d)\n", dvMoved, dvSeconds,
                doveadm.exitCode());

    int moved = 0;
    ::sync();
    const double renameSeconds =
        secondsOf([&] { moved = headerLoop(work + QStringLiteral("/rn2"), false, true, cutoff); });
    std::printf("stat + rename loop: %d moved in %.2f s\n", moved, renameSeconds);

    const double engine = medianOf(engineSeconds);
    const double loop = medianOf(loopSeconds);
    clearDir(work);
    std::printf("move %d (half in range), medians of %d rounds: engine %.2f s (%s), doveadm %.2f "
                "s, stat + read + rename loop %.2f s (%s)\n",
                args.messages, args.rounds, engine, listOf(engineSeconds).constData(), dvSeconds,
                loop, listOf(loopSeconds).constData());
    // Engine over the loop (target <= 1.5), and over doveadm move (target < 1).
    std::printf("ratio=%.2f doveadm=%.2f\n", engine / loop, engine / dvSeconds);
    return 0;
}
