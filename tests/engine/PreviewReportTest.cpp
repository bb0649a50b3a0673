// The rows a run reports over real stores and .msg files: a Preview names
// exactly what the Start after it does, and each failure carries its reason.

#include "EngineHarness.h"
#include "MsgReaders.h"
#include "ScopedMount.h"
#include "engine/ReportRow.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace kestrel;
using namespace kestrel::test;
using engine::ItemReport;
using engine::ReportOutcome;

namespace {

const QStringList kStores = {QStringLiteral("Personal Folders"), QStringLiteral("Archive")};
const QString kClients = QStringLiteral("Inbox\\Clients");

TestMessage message(const QString& subject, const QDateTime& received)
{
    TestMessage m;
    m.subject = subject;
    m.received = received;
    return m;
}

// A row as the report shows it, with the preview's outcome turned into the
// one its Start would have.
QString shown(const ItemReport& r)
{
    ReportOutcome outcome = r.outcome;
    switch (outcome) {
    case ReportOutcome::WouldMove:
        outcome = ReportOutcome::Moved;
        break;
    case ReportOutcome::WouldCopy:
        outcome = ReportOutcome::Copied;
        break;
    case ReportOutcome::WouldExport:
        outcome = ReportOutcome::Exported;
        break;
    default:
        break;
    }
    return QStringList({r.folderPath, r.subject, r.sender, engine::reportDateText(r.judgedBy),
                        engine::outcomeText(outcome, r.reason), r.file})
        .join(QStringLiteral(" | "));
}

QStringList shown(const QList<ItemReport>& reports)
{
    QStringList rows;
    for (const ItemReport& r : reports)
        rows << shown(r);
    return rows;
}

QStringList outcomes(const QList<ItemReport>& reports)
{
    QStringList texts;
    for (const ItemReport& r : reports)
        texts << engine::outcomeText(r.outcome, r.reason);
    return texts;
}

} // namespace

TEST(PreviewReport, StoreToStoreMoveNamesEachItemAndItsReasonAsTheStartDoes)
{
    EngineHarness h(kStores);
    for (int i = 0; i < 3; ++i)
        h.stores.addMessage(0, kClients,
                            message(QStringLiteral("Read %1").arg(i), at(2020, 6, 10 + i)));
    TestMessage unread = message(QStringLiteral("Unread"), at(2020, 6, 1));
    unread.unread = true;
    h.stores.addMessage(0, kClients, unread);
    TestMessage keep = message(QStringLiteral("Keep"), at(2020, 6, 2));
    keep.noArchive = true;
    h.stores.addMessage(0, kClients, keep);
    TestMessage meeting = message(QStringLiteral("Planning"), at(2020, 6, 3));
    meeting.kind = demo::DemoKind::Meeting;
    h.stores.addMessage(0, kClients, meeting);
    h.stores.addMessage(0, kClients, message(QStringLiteral("Old"), at(2019, 6, 3)));
    ASSERT_TRUE(h.stores.open());
    // Access times no later than the changes, which a read would renew.
    const QStringList files = h.stores.messageFiles(0, kClients);
    const auto accessTimes = [&] {
        QList<qint64> times;
        for (const QString& file : files) {
            struct stat st {};
            ::stat(QFile::encodeName(file).constData(), &st);
            times << qint64(st.st_atim.tv_sec) * 1'000'000'000 + st.st_atim.tv_nsec;
        }
        return times;
    };
    for (const QString& file : files) {
        const timespec times[2] = {{0, 0}, {0, UTIME_OMIT}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    }
    const QList<qint64> before = accessTimes();

    h.run(h.settings(0, true), {kClients});
    EXPECT_EQ(accessTimes(), before) << "a preview changes nothing in the store";
    const QList<ItemReport> preview = h.view.reports;
    h.view.clear();
    h.run(h.settings(0, false), {kClients});
    const QList<ItemReport> start = h.view.reports;

    EXPECT_EQ(shown(preview), shown(start));
    QStringList sorted = outcomes(start);
    sorted.sort();
    EXPECT_EQ(sorted, QStringList({"moved", "moved", "moved", "skipped: No Archive",
                                   "skipped: not a mail item", "skipped: unread"}));
    EXPECT_EQ(outcomes(preview).count(QStringLiteral("would move")), 3);
    for (const ItemReport& r : start) {
        EXPECT_EQ(r.folderPath, QStringLiteral("\\\\Personal Folders\\Inbox\\Clients"));
        EXPECT_EQ(r.sender, QStringLiteral("Ann Sender <ann@sender.example>"));
        EXPECT_FALSE(r.sourceId.isEmpty());
    }
    const ItemReport read0 = *std::find_if(
        start.begin(), start.end(), [](const ItemReport& r) { return r.subject == "Read 0"; });
    EXPECT_EQ(read0.judgedBy, at(2020, 6, 10));
    EXPECT_EQ(h.stores.messageFiles(1, kClients).size(), 3);
}

TEST(PreviewReport, StoreToDiskExportNamesTheFilesWithTheirClashNumbers)
{
    EngineHarness h(kStores);
    // Three messages with one name, and a file of that name already there.
    for (int i = 0; i < 3; ++i)
        h.stores.addMessage(0, kClients, message(QStringLiteral("Same"), at(2020, 6, 10, 9, 30)));
    h.stores.addMessage(0, kClients, message(QStringLiteral("Other"), at(2020, 6, 11, 9, 30)));
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;
    const QString folder = disk.path() + QStringLiteral("/Inbox/Clients");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString taken = folder + QStringLiteral("/20200610093030 Same.msg");
    QFile blocker(taken);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("not ours");
    blocker.close();

    h.run(h.settings(1, true, 1, disk.path()), {kClients});
    const QList<ItemReport> preview = h.view.reports;
    h.view.clear();
    h.run(h.settings(1, false, 1, disk.path()), {kClients});
    const QList<ItemReport> start = h.view.reports;

    EXPECT_EQ(shown(preview), shown(start));
    QStringList files;
    for (const ItemReport& r : start) {
        EXPECT_EQ(r.outcome, ReportOutcome::Exported);
        EXPECT_TRUE(QFile::exists(r.file)) << r.file.toStdString();
        files << QFileInfo(r.file).fileName();
    }
    files.sort();
    EXPECT_EQ(files, QStringList({"20200610093030 Same[1].msg", "20200610093030 Same[2].msg",
                                  "20200610093030 Same[3].msg", "20200611093030 Other.msg"}));
    EXPECT_EQ(readFile(taken), "not ours");
}

TEST(PreviewReport, DiskToStoreMoveReportsEachFileAndADamagedOneWithItsReason)
{
    EngineHarness h(kStores);
    h.stores.addMessage(0, kClients, message(QStringLiteral("In range"), at(2020, 6, 10)));
    h.stores.addMessage(0, kClients, message(QStringLiteral("Too old"), at(2019, 6, 10)));
    TestMessage unread = message(QStringLiteral("Unread"), at(2020, 6, 12));
    unread.unread = true;
    h.stores.addMessage(0, kClients, unread);
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;
    // The .msg files come from an export of every message.
    engine::TaskSettings exportAll = h.settings(1, false, 1, disk.path());
    exportAll.StartDate = at(2019, 1, 1, 0, 0, 0);
    exportAll.IncludeUnread = true;
    h.run(std::move(exportAll), {kClients});
    ASSERT_EQ(filesBelow(disk.path(), QStringLiteral("*.msg")).size(), 3);
    const QString damaged = disk.path() + QStringLiteral("/Inbox/Clients/damaged.msg");
    QFile bad(damaged);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(4096, '\x42'));
    bad.close();

    auto fromDisk = [&](bool preview) {
        engine::TaskSettings s = h.settings(0, preview);
        s.SourceIsDisk = true;
        s.SourceDiskFolder = disk.path();
        h.view.clear();
        h.run(std::move(s), {});
        return h.view.reports;
    };
    const QList<ItemReport> preview = fromDisk(true);
    const QList<ItemReport> start = fromDisk(false);

    EXPECT_EQ(shown(preview), shown(start));
    QStringList sorted = outcomes(start);
    sorted.sort();
    ASSERT_EQ(sorted.size(), 4);
    EXPECT_TRUE(sorted[0].startsWith(QStringLiteral("failed: "))) << sorted[0].toStdString();
    EXPECT_GT(sorted[0].size(), QStringLiteral("failed: ").size() + 5);
    EXPECT_EQ(sorted.mid(1),
              QStringList({"moved", "skipped: outside the range", "skipped: unread"}));
    for (const ItemReport& r : start)
        EXPECT_EQ(QFile::exists(r.file), r.outcome != ReportOutcome::Moved) << r.file.toStdString();
}

TEST(PreviewReport, AMessageGoneSinceTheListingIsAlreadyGoneNotFailed)
{
    EngineHarness h(kStores);
    for (int i = 0; i < 12; ++i)
        h.stores.addMessage(0, kClients,
                            message(QStringLiteral("Read %1").arg(i), at(2020, 6, 10)));
    ASSERT_TRUE(h.stores.open());
    const QString cur = h.stores.folderDir(0, kClients);
    // Someone else takes every message still there at the first yield.
    h.view.onYield = [&](int n) {
        if (n == 1)
            for (const QString& file : h.stores.messageFiles(0, kClients))
                QFile::remove(file);
    };
    h.run(h.settings(0, false), {kClients}, 2);
    const QStringList texts = outcomes(h.view.reports);
    EXPECT_EQ(texts.size(), 12);
    EXPECT_EQ(texts.count(QStringLiteral("moved")), h.stores.messageFiles(1, kClients).size());
    EXPECT_EQ(texts.count(QStringLiteral("moved")) + texts.count(QStringLiteral("already gone")),
              12)
        << texts.join(", ").toStdString();
    EXPECT_GT(texts.count(QStringLiteral("already gone")), 0);
}

TEST(PreviewReport, ReadOnlyDestinationsFailEachItemWithTheSystemsReason)
{
    EngineHarness h(kStores);
    h.stores.addMessage(0, kClients, message(QStringLiteral("One"), at(2020, 6, 10)));
    h.stores.addMessage(0, kClients, message(QStringLiteral("Two"), at(2020, 6, 11)));
    ASSERT_TRUE(h.stores.open());
    // The preview makes the mirrored folder; then the archive store freezes.
    h.run(h.settings(0, true), {kClients});
    const ScopedMount frozen = ScopedMount::readOnly(h.stores.folderDir(1, kClients));
    const TempDir disk;
    const ScopedMount frozenDisk = ScopedMount::readOnly(disk.path());
    if (!frozen.mounted() || !frozenDisk.mounted())
        GTEST_SKIP() << "needs root for read-only bind mounts";

    for (const QString& target : {QString(), disk.path()}) {
        h.view.clear();
        h.run(h.settings(0, false, 1, target), {kClients});
        ASSERT_EQ(h.view.reports.size(), 2);
        for (const ItemReport& r : h.view.reports) {
            EXPECT_EQ(r.outcome, ReportOutcome::Failed);
            EXPECT_TRUE(r.reason.contains(QStringLiteral("Read-only file system")))
                << r.reason.toStdString();
        }
    }
    EXPECT_EQ(h.stores.messageFiles(0, kClients).size(), 2);
}

TEST(PreviewReport, AMirroredFolderThatCannotBeMadeFailsEachItemWithTheStoresReason)
{
    EngineHarness h(kStores);
    h.stores.addMessage(0, kClients, message(QStringLiteral("One"), at(2020, 6, 10)));
    h.stores.addMessage(0, kClients, message(QStringLiteral("Two"), at(2020, 6, 11)));
    ASSERT_TRUE(h.stores.open());
    // A file stands where the archive's folder would go.
    const QString mirrored = h.stores.folderDir(1, kClients);
    QDir(mirrored).removeRecursively();
    QFile blocker(mirrored);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    h.run(h.settings(0, false), {kClients});
    ASSERT_EQ(h.view.reports.size(), 2);
    for (const ItemReport& r : h.view.reports) {
        EXPECT_EQ(r.outcome, ReportOutcome::Failed);
        EXPECT_TRUE(r.reason.contains(QFileInfo(mirrored).fileName())) << r.reason.toStdString();
    }
}
