// Copying a whole Outlook data file into a Maildir store through the engine,
// as a Copy run does, beside `readpst -M -j 0` (pst-utils) on the same file in the
// same run. Prints each one's best time of N runs and its message count; the
// last line is ratio=X, our time over readpst's.
//
//   build/bin/kestrel-bench-pst [--runs N] [--file PATH]   (default 3 runs of enron.pst)

#include "EngineHarness.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

using namespace kestrel;

[[noreturn]] void die(const QString& text)
{
    std::fprintf(stderr, "kestrel-bench-pst: %s\n", qPrintable(text));
    std::exit(1);
}

// Every folder below the top of the data file, as the short paths a run ticks.
void collect(platform::Folder& folder, const QString& path, QStringList& out)
{
    if (!path.isEmpty())
        out << path;
    auto children = folder.folders();
    const int n = children ? children->count().value_or(0) : 0;
    for (int i = 1; i <= n; ++i) {
        if (std::unique_ptr<platform::Folder> child = children->item(i)) {
            const QString name = child->name().value_or(QString());
            collect(*child, path.isEmpty() ? name : path + '\\' + name, out);
        }
    }
}

int filesBelow(const QString& dir)
{
    int n = 0;
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++n;
    return n;
}

struct Figure {
    double seconds = 0;
    double cpu = 0; // user + system seconds: steadier than the wall clock on a busy machine
    qint64 messages = 0;
};

double cpuSeconds(int who)
{
    struct rusage usage = {};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One Copy of every message of the file, any date, into an empty Maildir store.
Figure oursOnce(const QString& file)
{
    test::EngineHarness h({QStringLiteral("Outlook"), QStringLiteral("Archive")});
    {
        QSettings profile(h.stores.profilePath(), QSettings::IniFormat);
        profile.setValue(QStringLiteral("Store1/Type"), QStringLiteral("pst"));
        profile.setValue(QStringLiteral("Store1/Path"), file);
    }
    const double cpu = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    if (!h.stores.open() || !h.stores.ns().unusableStores().isEmpty())
        die(QStringLiteral("the data file cannot be opened: ") + file);
    QStringList folders;
    collect(*h.stores.root(0), QString(), folders);
    engine::TaskSettings s = h.settings(1, false);
    s.StartDate = QDateTime(QDate(1980, 1, 1), QTime(0, 0));
    s.EndDate = QDateTime(QDate(2100, 1, 1), QTime(0, 0));
    s.IncludeUnread = true;
    s.RespectNoArchive = false;
    h.run(std::move(s), folders);
    Figure f{double(timer.nsecsElapsed()) / 1e9, cpuSeconds(RUSAGE_SELF) - cpu,
             h.runner.counters().ProcessedCount};
    if (h.runner.counters().FailedCount > 0)
        die(QStringLiteral("%1 messages failed").arg(h.runner.counters().FailedCount));
    if (filesBelow(h.stores.rootDir() + QStringLiteral("/store2")) < f.messages)
        die(QStringLiteral("the store holds fewer messages than were copied"));
    return f;
}

Figure readpstOnce(const QString& file)
{
    test::TempDir out;
    const double cpu = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    QProcess p;
    p.start(QStringLiteral("readpst"),
            {QStringLiteral("-q"), QStringLiteral("-M"), QStringLiteral("-o"), out.path(), file});
    if (!p.waitForFinished(600000) || p.exitCode() != 0)
        die(QStringLiteral("readpst failed (is pst-utils installed?)"));
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    return {seconds, cpuSeconds(RUSAGE_CHILDREN) - cpu, filesBelow(out.path())};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = 3;
    QString file = QStringLiteral(
        KESTREL_SOURCE_DIR "/build/npm/node_modules/pst-extractor/example/testdata/enron.pst");
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = args[++i].toInt();
        else if (args[i] == QLatin1String("--file") && i + 1 < args.size())
            file = args[++i];
        else
            die(QStringLiteral("usage: kestrel-bench-pst [--runs N] [--file PATH]"));
    }
    if (runs < 1 || !QFile::exists(file))
        die(QStringLiteral("no runs or no file (scripts/setup installs the test data)"));

    Figure ours, theirs;
    for (int i = 0; i < runs; ++i) {
        // Taken in turns, so that both see the same state of the page cache.
        const Figure a = oursOnce(file);
        const Figure b = readpstOnce(file);
        if (i == 0 || a.seconds < ours.seconds)
            ours = a;
        if (i == 0 || b.seconds < theirs.seconds)
            theirs = b;
        ours.cpu = i == 0 ? a.cpu : std::min(ours.cpu, a.cpu);
        theirs.cpu = i == 0 ? b.cpu : std::min(theirs.cpu, b.cpu);
    }
    std::printf("file: %s\n", qPrintable(file));
    std::printf("engine copy into a Maildir store: %.3f s (cpu %.3f s), %lld messages (best of "
                "%d)\n",
                ours.seconds, ours.cpu, ours.messages, runs);
    std::printf("readpst -M -j 0: %.3f s (cpu %.3f s), %lld messages (best of %d)\n", theirs.seconds,
                theirs.cpu, theirs.messages, runs);
    std::printf("cpu ratio: %.2f\n", theirs.cpu > 0 ? ours.cpu / theirs.cpu : 0.0);
    std::printf("ratio=%.2f\n", theirs.seconds > 0 ? ours.seconds / theirs.seconds : 0.0);
    return 0;
}
