#pragma once

// Shared parts of the engine benchmarks: a corpus in a Maildir store, a
// profile over it, and one real engine run.

#include "engine/ItemReport.h"
#include "engine/TaskCounters.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace kestrel::bench {

struct BenchArgs {
    int messages = 0;
    QString workDir;   // emptied and reused
    bool keep = false; // keep the corpus for the next run of the same size
    // Timed runs of the engine and of its floor, interleaved. On a shared
    // host one round in three or four is slowed on one side only; the
    // medians of five leave it out.
    int rounds = 5;
};
// --messages N [--work DIR] [--keep] [--rounds R]; exits with a usage text on bad arguments.
BenchArgs parseArgs(int argc, char** argv, int defaultMessages, const char* name);

// The corpus's received times run evenly over 2016..2023, so the range
// 2016..2019 holds half of it.
QDateTime rangeStart();
QDateTime rangeEnd();

// Writes n messages into the Maildir root (Inbox) of storeDir; returns their bytes.
qint64 writeCorpus(const QString& storeDir, int n);
// Like writeCorpus, but with --keep a corpus of the same size left in
// workDir by an earlier run is used as it is (0 bytes returned).
qint64 prepareCorpus(const BenchArgs& args, const QString& storeDir, int n);
// An empty Maildir (cur, new, tmp).
bool makeMaildir(const QString& dir);
// profile.ini in dir naming the stores (name, path) in order.
QString writeProfile(const QString& dir, const QList<QPair<QString, QString>>& stores);
// cp -a, so that every contender starts from the same files.
bool copyTree(const QString& from, const QString& to);
// Drops the work directory's old content.
void clearDir(const QString& dir);

struct EngineResult {
    double seconds = 0;
    engine::TaskCounters counters;
    QString status;
};
// One run of the real engine over "Personal Folders\Inbox" of the profile:
// action 0/1/2, into store 2 or into diskDir when given.
// onItem gets each item's report.
EngineResult runEngine(const QString& profile, int action, bool preview,
                       const QString& diskDir = {},
                       std::function<void(const engine::ItemReport&)> onItem = {});

// The floor of a run by received date, what a minimal archiver must do: stat
// each file of maildir's cur/, and for those received before cutoff (epoch
// seconds) read 4 kB of the header when readHeader and rename the file into
// .Archive/cur/ when rename. Returns how many were in range.
int headerLoop(const QString& maildir, bool readHeader, bool rename, qint64 cutoff);

// The middle of the times (the mean of the two middle ones for an even count).
// A shared disk slows single runs by half or more; the median of interleaved
// rounds compares the engine and its floor under the same conditions.
double medianOf(std::vector<double> seconds);
// "1.23 / 1.45 / 1.31"
QByteArray listOf(const std::vector<double>& seconds);

double secondsOf(const std::function<void()>& work);
// Peak resident set of this process so far, in MiB.
double peakRssMiB();
// User and system time of this process so far, all its threads: on a shared
// machine the wall clock counts the others' work too.
double cpuSeconds();

} // namespace kestrel::bench
