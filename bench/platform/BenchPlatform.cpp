// kestrel-bench-platform [--messages N]
// The Maildir backend against Dovecot and the bare file system, on the same
// generated data in one run: restrict + count over 10,000 and N messages
// (default 100,000), the read-only count of the N-message tree that finding
// local mail makes, and moving 10,000 messages between two stores through the
// backend, with `doveadm move` and a plain rename(2) loop. Prints messages per
// second; the last lines give the ratios, the very last one the SentOn restrict
// of N messages over a loop that reads 4 kB of each (ratio=X).

#include "BenchStores.h"
#include "DoveadmHarness.h"
#include "ReadFloor.h"
#include "platform/DateRestriction.h"
#include "platform/MailPlatform.h"
#include "platform/PlatformRegistry.h"
#include "platform/maildir/MaildirTreeCounter.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

using kestrel::test::DoveadmHarness;
namespace platform = kestrel::platform;

namespace {

struct Figure {
    qint64 messages = 0;
    double seconds = 0;
    double rate() const { return seconds > 0 ? messages / seconds : 0; }
};

void report(const char* what, const Figure& figure, const QString& note = {})
{
    std::printf("%-46s %7lld msgs %8.3f s %10.0f msg/s  %s\n", what, figure.messages,
                figure.seconds, figure.rate(), qPrintable(note));
    std::fflush(stdout);
}

[[noreturn]] void die(const QString& text)
{
    std::fprintf(stderr, "kestrel-bench-platform: %s\n", qPrintable(text));
    std::exit(1);
}

struct Opened {
    std::unique_ptr<platform::Application> app = platform::createApplication();
    std::unique_ptr<platform::Namespace> ns = app ? app->getNamespace("MAPI") : nullptr;

    std::unique_ptr<platform::Folder> inbox(const QString& store)
    {
        if (!ns || !ns->logon())
            die("the platform does not open the bench profile");
        auto root = ns->folders()->item(store);
        auto folder = root ? root->folders()->item("Inbox") : nullptr;
        if (!folder)
            die("no Inbox in store " + store);
        return folder;
    }
};

QString rangeFilter(platform::DateProperty property)
{
    // The program's default range: 1 January 1900 to 31 December of last year.
    const QDate end(QDate::currentDate().year() - 1, 12, 31);
    return platform::DateRestriction::between(property, QDate(1900, 1, 1).startOfDay(),
                                              QDateTime(end, QTime(23, 59, 59)))
        .toFilter();
}

Figure restrictCount(platform::ItemCollection& items, platform::DateProperty property, qint64 total,
                     qint64* matched)
{
    QElapsedTimer timer;
    timer.start();
    auto found = items.restrict(rangeFilter(property));
    if (!found)
        die("restrict failed: " + items.lastError().text);
    *matched = found->count().value_or(-1);
    return {total, timer.nsecsElapsed() / 1e9};
}

struct RestrictFigures {
    Figure cold; // ReceivedTime, first
    Figure sent; // SentOn, first
};

// Restrict + count on a folder of `total` messages: a fresh session, the same
// one again, and [SentOn] (headers) in a fresh session.
RestrictFigures benchRestrict(const QString& store, qint64 total)
{
    qint64 matched = 0;
    Figure cold;
    {
        Opened opened;
        auto items = opened.inbox(store)->items();
        cold = restrictCount(*items, platform::DateProperty::ReceivedTime, total, &matched);
        report(qPrintable(QStringLiteral("restrict+count ReceivedTime, first")), cold,
               QStringLiteral("%1 match").arg(matched));
        const Figure warm =
            restrictCount(*items, platform::DateProperty::ReceivedTime, total, &matched);
        report("restrict+count ReceivedTime, again", warm, QStringLiteral("%1 match").arg(matched));
        const Figure created =
            restrictCount(*items, platform::DateProperty::CreationTime, total, &matched);
        report("restrict+count CreationTime, again", created,
               QStringLiteral("%1 match").arg(matched));
    }
    Opened opened;
    auto items = opened.inbox(store)->items();
    const Figure sent = restrictCount(*items, platform::DateProperty::SentOn, total, &matched);
    report("restrict+count SentOn (headers), first", sent, QStringLiteral("%1 match").arg(matched));
    return {cold, sent};
}

// The floor of a restrict on a header field: list the folder, then open each
// file, read its first 4 kB and close it.
Figure benchHeaderReadLoop(const QString& root, qint64 total, bool reported = true)
{
    QElapsedTimer timer;
    timer.start();
    const qint64 read = kestrel::bench::readFirstBlockOfEach(root);
    const Figure figure{total, timer.nsecsElapsed() / 1e9};
    if (read != total)
        die(QStringLiteral("header loop read %1 of %2").arg(read).arg(total));
    if (reported)
        report("read 4 kB of each message, plain loop", figure, "readdir + open + read + close");
    return figure;
}

// What the first start spends on each tree it finds.
void benchTreeCount(const QString& root, qint64 total)
{
    QElapsedTimer timer;
    timer.start();
    const auto count = platform::maildir::MaildirTreeCounter().count(root, nullptr);
    const Figure figure{total, timer.nsecsElapsed() / 1e9};
    if (!count || count->messages != total)
        die(QStringLiteral("the tree count found %1 of %2")
                .arg(count ? count->messages : -1)
                .arg(total));
    report("count a Maildir tree (finding local mail)", figure,
           "readdir of cur/ and new/, no stat");
}

Figure benchDoveadmSearch(DoveadmHarness& doveadm, qint64 total, const char* what)
{
    const QDate end(QDate::currentDate().year(), 1, 1);
    QElapsedTimer timer;
    timer.start();
    const auto result = doveadm.run(
        {"search", "mailbox", "INBOX", "BEFORE", end.toString(QStringLiteral("yyyy-MM-dd"))});
    const Figure figure{total, timer.nsecsElapsed() / 1e9};
    if (!result.ok())
        die("doveadm search failed: " + QString::fromUtf8(result.err));
    report(what, figure, QStringLiteral("%1 match").arg(result.out.count('\n')));
    return figure;
}

Figure benchBackendMove(qint64 total)
{
    Opened opened;
    auto source = opened.inbox("Source");
    auto target = opened.inbox("Target");
    QElapsedTimer timer;
    timer.start();
    auto items = source->items();
    qint64 failed = 0;
    for (qint64 i = items->count().value_or(0); i >= 1; --i) {
        auto item = items->item(i);
        failed += !item || !item->move(*target);
    }
    const Figure figure{total, timer.nsecsElapsed() / 1e9};
    const qint64 arrived = target->items()->count().value_or(-1);
    if (failed || arrived != total)
        die(QStringLiteral("backend move: %1 failed, %2 arrived").arg(failed).arg(arrived));
    report("move between stores, backend", figure, "fsync + rename, per message");
    return figure;
}

Figure benchDoveadmMove(DoveadmHarness& doveadm, qint64 total)
{
    if (!doveadm.run({"mailbox", "create", "Target"}).ok())
        die("doveadm mailbox create failed");
    QElapsedTimer timer;
    timer.start();
    const auto result = doveadm.run({"move", "Target", "mailbox", "INBOX", "all"});
    const Figure figure{total, timer.nsecsElapsed() / 1e9};
    if (!result.ok() || doveadm.messageCount("Target") != total)
        die("doveadm move failed: " + QString::fromUtf8(result.err));
    report("move between mailboxes, doveadm move", figure, "one process, indexes the folder first");
    return figure;
}

// Lists cur/ and new/ first (as a mail reader does), then renames each file.
Figure benchRenameLoop(const QString& from, const QString& to, qint64 total)
{
    QElapsedTimer timer;
    timer.start();
    QList<QByteArray> names;
    for (const char* sub : {"/cur/", "/new/"}) {
        const QByteArray dirPath = QFile::encodeName(from) + sub;
        DIR* dir = ::opendir(dirPath.constData());
        while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
            if (entry->d_name[0] != '.')
                names.append(dirPath + entry->d_name);
        }
        if (dir)
            ::closedir(dir);
    }
    const QByteArray fromRoot = QFile::encodeName(from);
    const QByteArray toRoot = QFile::encodeName(to);
    qint64 moved = 0;
    for (const QByteArray& name : names)
        moved += ::rename(name.constData(), (toRoot + name.mid(fromRoot.size())).constData()) == 0;
    const Figure figure{total, timer.nsecsElapsed() / 1e9};
    if (moved != total)
        die(QStringLiteral("rename loop moved %1 of %2").arg(moved).arg(total));
    report("move, plain rename(2) loop", figure, "readdir + rename, no fsync");
    return figure;
}

bool copyTree(const QString& from, const QString& to)
{
    return QProcess::execute("cp", {"-a", from, to}) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qint64 large = 100000;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == "--messages" && i + 1 < args.size())
            large = args.at(++i).toLongLong();
        else
            die("usage: kestrel-bench-platform [--messages N]");
    }
    if (large < 1)
        die("--messages needs a positive number");
    const qint64 small = std::min<qint64>(10000, large);

    QTemporaryDir work(QDir::tempPath() + "/kestrel-bench-XXXXXX");
    const auto path = [&](const char* name) { return work.filePath(QLatin1String(name)); };
    std::printf("generating %lld + %lld + %lld messages in %s\n", small, large, small,
                qPrintable(work.path()));
    for (const auto& [dir, count] :
         {std::pair{"small", small}, {"large", large}, {"moves", small}}) {
        const QString error = kestrel::bench::writeInboxStore(path(dir), int(count), 1);
        if (!error.isEmpty())
            die(error);
    }
    if (!copyTree(path("moves"), path("source")) || !copyTree(path("moves"), path("rename-from")))
        die("cp failed");
    for (const char* dir : {"target", "rename-to"}) {
        if (!kestrel::bench::writeInboxStore(path(dir), 0, 1).isEmpty())
            die("cannot create an empty store");
    }
    const QString profile = path("profile.ini");
    const QString problem = kestrel::bench::writeProfile(profile, {{"Small", path("small")},
                                                                   {"Large", path("large")},
                                                                   {"Source", path("source")},
                                                                   {"Target", path("target")}});
    if (!problem.isEmpty())
        die(problem);
    qputenv("KESTREL_PROFILE", QFile::encodeName(profile));

    // Both the SentOn restrict and the loop measured beside it read every
    // file: one unreported pass first, so that neither reads the files cold
    // for the other.
    benchHeaderReadLoop(path("large"), large, false);
    const Figure restrictSmall = benchRestrict("Small", small).cold;
    const RestrictFigures largeFigures = benchRestrict("Large", large);
    const Figure restrictLarge = largeFigures.cold;
    const Figure headerLoop = benchHeaderReadLoop(path("large"), large);
    benchTreeCount(path("large"), large);

    const bool haveDoveadm = !DoveadmHarness::executable().isEmpty();
    Figure searchLarge;
    if (haveDoveadm) {
        DoveadmHarness search(path("dovecot-search"));
        if (!search.useCopyOf(path("large")))
            die(search.lastError());
        benchDoveadmSearch(search, large, "doveadm search BEFORE, first (builds index)");
        searchLarge = benchDoveadmSearch(search, large, "doveadm search BEFORE, again");
    }

    const Figure ours = benchBackendMove(small);
    Figure dovecot;
    if (haveDoveadm) {
        DoveadmHarness moves(path("dovecot-move"));
        if (!moves.useCopyOf(path("moves")))
            die(moves.lastError());
        dovecot = benchDoveadmMove(moves, small);
    }
    const Figure renames = benchRenameLoop(path("rename-from"), path("rename-to"), small);

    const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("ratios: restrict+count %lld/%lld time %.2f (linear %.0f); restrict %lld "
                "backend/doveadm-indexed %.2f; move backend/rename %.3f, backend/doveadm %.2f, "
                "doveadm/rename %.3f (msg/s)\n",
                large, small, ratio(restrictLarge.seconds, restrictSmall.seconds),
                double(large) / double(small), large,
                ratio(restrictLarge.rate(), searchLarge.rate()), ratio(ours.rate(), renames.rate()),
                ratio(ours.rate(), dovecot.rate()), ratio(dovecot.rate(), renames.rate()));
    // The SentOn restrict over the loop that only reads the headers.
    std::printf("ratio=%.2f\n", ratio(largeFigures.sent.seconds, headerLoop.seconds));
    return 0;
}
