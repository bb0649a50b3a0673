// kestrel-bench-engine-move [--messages N]: a Move by date of N messages (half
// of them in range) from one store to another through the real engine, beside
// `doveadm move` and plain rename(2) loops over copies of the same data.

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

    // The same files for every contender.
    const QString dv = work + QStringLiteral("/dv");
    QDir().mkpath(dv);
    bool ok = copyTree(base, work + QStringLiteral("/engine")) &&
              makeMaildir(work + QStringLiteral("/archive")) &&
              copyTree(base, dv + QStringLiteral("/Maildir")) &&
              makeMaildir(dv + QStringLiteral("/Maildir/.Archive")) &&
              copyTree(base, work + QStringLiteral("/rn1")) &&
              makeMaildir(work + QStringLiteral("/rn1/.Archive")) &&
              copyTree(base, work + QStringLiteral("/rn2")) &&
              makeMaildir(work + QStringLiteral("/rn2/.Archive"));
    const QString profile =
        writeProfile(work, {{QStringLiteral("Personal Folders"), QStringLiteral("engine")},
                            {QStringLiteral("Archive"), QStringLiteral("archive")}});
    QFile conf(dv + QStringLiteral("/dovecot.conf"));
    ok = ok && !profile.isEmpty() && conf.open(QIODevice::WriteOnly) &&
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

    // Every contender starts from the same place: the copies on disk, not
    // dirty in the page cache, where the first to run (and the only one to
    // fsync its journal) would pay for writing them back.
    ::sync();
    const EngineResult engine = runEngine(profile, 0, false);
    const double engineRate = engine.counters.ProcessedCount / engine.seconds;
    std::printf("engine move: %lld moved, %lld failed in %.2f s (%.0f msg/s)  [%s]\n",
                static_cast<long long>(engine.counters.ProcessedCount),
                static_cast<long long>(engine.counters.FailedCount), engine.seconds, engineRate,
                qPrintable(engine.status));

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

    const qint64 cutoff = QDateTime(QDate(2020, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    int moved = 0;
    ::sync();
    const double readSeconds =
        secondsOf([&] { moved = headerLoop(work + QStringLiteral("/rn1"), true, true, cutoff); });
    std::printf("stat + read 4 kB + rename loop: %d moved in %.2f s\n", moved, readSeconds);
    ::sync();
    const double renameSeconds =
        secondsOf([&] { moved = headerLoop(work + QStringLiteral("/rn2"), false, true, cutoff); });
    std::printf("stat + rename loop: %d moved in %.2f s\n", moved, renameSeconds);

    clearDir(work);
    std::printf("move %d (half in range): engine %.2f s, doveadm %.2f s, stat + read + rename "
                "loop %.2f s\n",
                args.messages, engine.seconds, dvSeconds, readSeconds);
    // Engine over the loop (target <= 1.5), and over doveadm move (target < 1).
    std::printf("ratio=%.2f doveadm=%.2f\n", engine.seconds / readSeconds,
                engine.seconds / dvSeconds);
    return 0;
}
