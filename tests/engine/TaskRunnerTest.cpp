// Runs of the real engine over real Maildir stores.

#include "EngineHarness.h"
#include "engine/TaskCounters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

const QStringList kStores = {QStringLiteral("Personal Folders"), QStringLiteral("Archive")};

TestMessage inRange(const QString& subject, int day = 10)
{
    TestMessage m;
    m.subject = subject;
    m.received = at(2020, 6, day, 9, 30);
    return m;
}

qint64 sizeOf(const QStringList& files)
{
    qint64 total = 0;
    for (const QString& file : files)
        total += QFileInfo(file).size();
    return total;
}

} // namespace

TEST(TaskRunner, PreviewThenStartMoveByDateLeavesUnreadNoArchiveAndNonMailAlone)
{
    EngineHarness h(kStores);
    const QString clients = QStringLiteral("Inbox\\Clients");
    for (int i = 0; i < 3; ++i)
        h.stores.addMessage(0, clients, inRange(QStringLiteral("Read %1").arg(i), 10 + i));
    TestMessage old = inRange(QStringLiteral("Old"));
    old.received = at(2019, 12, 31, 23, 59, 59);
    h.stores.addMessage(0, clients, old);
    TestMessage unread = inRange(QStringLiteral("Unread"));
    unread.unread = true;
    h.stores.addMessage(0, clients, unread);
    TestMessage keep = inRange(QStringLiteral("Keep"));
    keep.noArchive = true;
    h.stores.addMessage(0, clients, keep);
    TestMessage meeting = inRange(QStringLiteral("Planning"));
    meeting.kind = demo::DemoKind::Meeting;
    h.stores.addMessage(0, clients, meeting);
    TestMessage report = inRange(QStringLiteral("Undeliverable"));
    report.kind = demo::DemoKind::Report;
    h.stores.addMessage(0, clients, report);
    h.stores.addMessage(0, QStringLiteral("Sent Items"), inRange(QStringLiteral("Sent 1")));
    h.stores.addMessage(0, QStringLiteral("Sent Items"), inRange(QStringLiteral("Sent 2")));
    ASSERT_TRUE(h.stores.open());
    const QStringList ticked = {clients, QStringLiteral("Sent Items")};
    const QStringList before = h.stores.messageFiles(0, clients);
    ASSERT_EQ(before.size(), 8);

    h.run(h.settings(0, true), ticked);
    EXPECT_EQ(h.runner.counters().ProcessedCount, 5);
    EXPECT_EQ(h.runner.counters().FailedCount, 0);
    EXPECT_EQ(h.stores.messageFiles(0, clients).size(), 8) << "a preview changes nothing";
    // The mirrored folder is made even in a preview.
    EXPECT_TRUE(QFileInfo(h.stores.folderDir(1, clients)).isDir());
    EXPECT_TRUE(h.view.events().contains(QStringLiteral("action: Creating folder in Archive...")));
    EXPECT_TRUE(h.view.status.startsWith(QStringLiteral("5 items would be moved. Size: ")))
        << h.view.status.toStdString();

    h.view.clear();
    h.run(h.settings(0, false), ticked);
    EXPECT_FALSE(h.runner.flags().StopRequested);
    EXPECT_EQ(h.runner.counters().ProcessedCount, 5) << "each run counts from zero";
    EXPECT_EQ(h.runner.counters().FailedCount, 0);
    EXPECT_FALSE(h.view.events().contains(QStringLiteral("action: Creating folder in Archive...")));
    const QStringList moved = h.stores.messageFiles(1, clients);
    EXPECT_EQ(moved.size(), 3);
    EXPECT_EQ(h.stores.messageFiles(1, QStringLiteral("Sent Items")).size(), 2);
    EXPECT_EQ(h.stores.messageFiles(0, clients).size(), 5);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Sent Items")).size(), 0);
    // Sizes of moved items still count.
    const qint64 bytes =
        sizeOf(moved) + sizeOf(h.stores.messageFiles(1, QStringLiteral("Sent Items")));
    EXPECT_EQ(h.runner.counters().TotalSize, bytes);
    EXPECT_EQ(h.view.status, engine::ResultsText(h.runner.counters(), 0, false));
    EXPECT_TRUE(h.view.status.startsWith(QStringLiteral("5 items moved. Size: ")));

    // The end of a run.
    EXPECT_EQ(h.view.actionText, QStringLiteral("Task completed."));
    EXPECT_FALSE(h.view.progressVisible);
    EXPECT_FALSE(h.view.busy);
    EXPECT_EQ(h.view.quitCaption, QStringLiteral("&Quit"));
    EXPECT_FALSE(h.runner.flags().TaskRunning);
    ASSERT_EQ(h.sound.played.size(), 2) << "after a preview too";
    EXPECT_EQ(h.sound.played.last(), QStringLiteral("/opt/kestrel/task complete.wav"));
}

TEST(TaskRunner, StopEndsTheFolderAtItsNextTestAndStartsNoFurtherFolder)
{
    EngineHarness h(kStores);
    for (int i = 0; i < 50; ++i)
        h.stores.addMessage(0, QStringLiteral("Long"), inRange(QStringLiteral("L%1").arg(i)));
    for (int i = 0; i < 5; ++i)
        h.stores.addMessage(0, QStringLiteral("Next"), inRange(QStringLiteral("N%1").arg(i)));
    ASSERT_TRUE(h.stores.open());

    // A click that arrives in the first yield (YieldInterval 10 at position 0).
    QString captionDuringRun;
    h.view.onYield = [&](int n) {
        if (n == 1)
            h.runner.RequestStop();
        if (n == 2)
            captionDuringRun = h.view.quitCaption;
    };
    h.run(h.settings(0, false), {QStringLiteral("Long"), QStringLiteral("Next")}, 0);
    EXPECT_EQ(captionDuringRun, QStringLiteral("WAIT"));
    EXPECT_EQ(h.runner.counters().ProcessedCount, 10);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Long")).size(), 40);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Next")).size(), 5);
    EXPECT_FALSE(h.view.events().contains(QStringLiteral("folder: Next")));
    EXPECT_EQ(h.view.actionText, QStringLiteral("Task interrupted."));
    EXPECT_TRUE(h.runner.flags().StopRequested) << "stays set until the next run";
    EXPECT_EQ(h.view.quitCaption, QStringLiteral("&Quit"));
    // The bar is filled, then reset, after the loop was left.
    const QStringList& events = h.view.events();
    const qsizetype filled = events.lastIndexOf(QStringLiteral("value: 50"));
    ASSERT_GE(filled, 0);
    EXPECT_GT(events.indexOf(QStringLiteral("max: 0"), filled), filled);

    // A flag set between two yields: the loop still ends at the next multiple of 10.
    h.view.clear();
    h.view.onYield = {};
    h.view.onItemDone = [&](const engine::ItemReport&) {
        if (h.view.reports.size() == 13)
            h.runner.flags().StopRequested = true;
    };
    h.run(h.settings(0, false), {QStringLiteral("Long"), QStringLiteral("Next")}, 0);
    EXPECT_EQ(h.view.reports.size(), 20);
    EXPECT_EQ(h.runner.counters().ProcessedCount, 20);
    EXPECT_EQ(h.view.actionText, QStringLiteral("Task interrupted."));
}

TEST(TaskRunner, DeleteAndCopyIntoASlashedName)
{
    EngineHarness h(kStores);
    for (int i = 0; i < 3; ++i)
        h.stores.addMessage(0, QStringLiteral("Inbox"), inRange(QStringLiteral("D%1").arg(i)));
    // A name with a slash: the run finds it, and mirrors it, through its %2F path.
    const QString slashed = QStringLiteral("Q1/Q2");
    for (int i = 0; i < 3; ++i)
        h.stores.addMessage(0, slashed, inRange(QStringLiteral("C%1").arg(i)));
    ASSERT_TRUE(h.stores.open());

    h.run(h.settings(2, false), {QStringLiteral("Inbox")});
    EXPECT_EQ(h.runner.counters().ProcessedCount, 3);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Inbox")).size(), 0);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Deleted Items")).size(), 3);
    EXPECT_EQ(h.stores.messageFiles(1, QStringLiteral("Inbox")).size(), 0);
    EXPECT_TRUE(h.view.status.startsWith(QStringLiteral("3 items deleted. Size: ")));

    // Copy twice: two copies, the source untouched.
    h.run(h.settings(1, false), {QStringLiteral("Q1%2FQ2")});
    h.run(h.settings(1, false), {QStringLiteral("Q1%2FQ2")});
    EXPECT_EQ(h.runner.counters().ProcessedCount, 3);
    EXPECT_EQ(h.runner.counters().FailedCount, 0);
    EXPECT_EQ(h.stores.messageFiles(0, slashed).size(), 3);
    EXPECT_EQ(h.stores.messageFiles(1, slashed).size(), 6);
}

TEST(TaskRunner, DateChoicesAnyOfFourAndTheEndDaysLastMinute)
{
    EngineHarness h(kStores);
    TestMessage received = inRange(QStringLiteral("received in range"));
    received.created = received.sent = at(2019, 3, 1);
    TestMessage sent = inRange(QStringLiteral("sent in range"));
    sent.received = sent.created = at(2019, 3, 1);
    sent.sent = at(2020, 2, 2);
    TestMessage created = inRange(QStringLiteral("created in range"));
    created.received = created.sent = at(2019, 3, 1);
    created.created = at(2020, 2, 2);
    TestMessage none = inRange(QStringLiteral("nothing in range"));
    none.received = none.sent = none.created = at(2019, 3, 1);
    for (const TestMessage& m : {received, sent, created, none})
        h.stores.addMessage(0, QStringLiteral("Any"), m);
    TestMessage lastMinute = inRange(QStringLiteral("last minute"));
    lastMinute.received = at(2020, 12, 31, 23, 59, 30);
    TestMessage nextDay = inRange(QStringLiteral("next day"));
    nextDay.received = at(2021, 1, 1, 0, 0, 10);
    TestMessage firstSecond = inRange(QStringLiteral("first second"));
    firstSecond.received = at(2020, 1, 1, 0, 0, 0);
    for (const TestMessage& m : {lastMinute, nextDay, firstSecond})
        h.stores.addMessage(0, QStringLiteral("Edges"), m);
    ASSERT_TRUE(h.stores.open());

    engine::TaskSettings any = h.settings(1, false);
    any.DateBase = 4;
    h.run(std::move(any), {QStringLiteral("Any")});
    EXPECT_EQ(h.runner.counters().ProcessedCount, 3);
    EXPECT_EQ(h.stores.messageFiles(1, QStringLiteral("Any")).size(), 3);

    h.run(h.settings(0, false), {QStringLiteral("Edges")});
    EXPECT_EQ(h.runner.counters().ProcessedCount, 2);
    const QStringList left = h.stores.messageFiles(0, QStringLiteral("Edges"));
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(QFileInfo(left.first()).lastModified(), nextDay.received);
}

TEST(TaskRunner, StoreRootTickedCountsNothingAndAMissingFolderFails)
{
    EngineHarness h(kStores);
    h.stores.addMessage(0, QStringLiteral("Inbox"), inRange(QStringLiteral("in the inbox")));
    ASSERT_TRUE(h.stores.open());
    h.view.status = QStringLiteral("before");
    // The store root holds no items of its own here: nothing to do. A ticked
    // folder that is gone since is one failure, never a silent success.
    h.run(h.settings(0, false), {QString(), QStringLiteral("No Such Folder")});
    EXPECT_EQ(h.runner.counters().ProcessedCount, 0);
    EXPECT_EQ(h.runner.counters().FailedCount, 1);
    EXPECT_TRUE(h.view.eventsStartingWith(QStringLiteral("status: Processing")).isEmpty());
    EXPECT_EQ(h.view.actionText, QStringLiteral("Task completed."));
    EXPECT_EQ(h.view.status, QStringLiteral("0 items moved. 1 item not be processed."));
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Inbox")).size(), 1);
}

TEST(TaskRunner, SummaryCountsRealSizesPastTwoGigabytes)
{
    EngineHarness h(kStores);
    for (int i = 0; i < 5; ++i) {
        TestMessage m = inRange(QStringLiteral("exact %1").arg(i));
        m.exactSize = 204800;
        h.stores.addMessage(0, QStringLiteral("Exact"), m);
    }
    for (int i = 0; i < 3; ++i)
        h.stores.addMessage(0, QStringLiteral("Big"), inRange(QStringLiteral("big %1").arg(i)));
    // Dovecot's S= field gives the size without reading the file: three 1 GiB messages.
    for (const QString& file : h.stores.messageFiles(0, QStringLiteral("Big"))) {
        QString name = QFileInfo(file).fileName();
        name.replace(QRegularExpression(QStringLiteral(",S=\\d+")),
                     QStringLiteral(",S=1073741824"));
        ASSERT_TRUE(QFile::rename(file, QFileInfo(file).dir().filePath(name)));
    }
    ASSERT_TRUE(h.stores.open());

    h.run(h.settings(1, false), {QStringLiteral("Exact")});
    EXPECT_EQ(h.runner.counters().TotalSize, 1024000);
    EXPECT_EQ(h.view.status, QStringLiteral("5 items copied. Size: 1.0 MB"));

    h.run(h.settings(1, true), {QStringLiteral("Big")});
    EXPECT_EQ(h.runner.counters().TotalSize, 3LL * 1073741824);
    EXPECT_EQ(h.view.status, QStringLiteral("3 items would be copied. Size: 3145.7 MB"));
}
