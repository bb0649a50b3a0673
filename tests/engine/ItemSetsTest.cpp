// Runs over a backend that acts on sets of items (the tests' foreign backend,
// which records every set) and over Maildir, which acts on one item at a time.

#include "support/EngineHarness.h"
#include "support/ForeignBackend.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;
using platform::ErrorKind;

namespace {

const QStringList kStores{QStringLiteral("Personal Folders"), QStringLiteral("Archive")};

TestMessage inRange(const QString& subject, int size = 0)
{
    TestMessage m;
    m.subject = subject;
    m.received = at(2020, 6, 1);
    m.exactSize = size;
    return m;
}

QString fileWithSubject(const QStringList& files, const QString& subject)
{
    const QByteArray line = "Subject: " + subject.toUtf8() + "\n";
    for (const QString& path : files) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(line))
            return path;
    }
    return {};
}

// The subject of the item a walk over the folder visits first (its last).
QString firstVisited(EngineStores& stores, const QString& folder)
{
    auto source = stores.root(0)->folders()->item(folder);
    auto items = source ? source->items() : nullptr;
    const auto last = items ? items->item(items->count().value_or(0)) : nullptr;
    return last ? last->subject().value_or(QString()) : QString();
}

} // namespace

TEST(ItemSets, AMoveActsOnFullSetsAndTheRestAtTheEndAndAMessageGoneSinceTheListingFailsAlone)
{
    EngineHarness h(kStores);
    h.stores.setType(0, QLatin1String(kForeignType));
    h.stores.setType(1, QLatin1String(kForeignType));
    const int n = 1001;
    for (int i = 0; i < n; ++i)
        h.stores.addMessage(0, QStringLiteral("Inbox"),
                            inRange(QStringLiteral("M%1").arg(i), 2000));
    const auto log = std::make_shared<ForeignBatchLog>();
    ASSERT_TRUE(h.stores.open(withForeignBackend(log)));

    // Removed from disk while it waits in the first set.
    const QString gone = firstVisited(h.stores, QStringLiteral("Inbox"));
    ASSERT_FALSE(gone.isEmpty());
    h.view.onYield = [&](int yield) {
        if (yield == 1)
            QFile::remove(fileWithSubject(h.stores.messageFiles(0, QStringLiteral("Inbox")), gone));
    };
    h.run(h.settings(0, false), {QStringLiteral("Inbox")});

    EXPECT_EQ(log->sizes(), (std::vector<qsizetype>{500, 500, 1}));
    for (const ForeignBatch& batch : log->batches)
        EXPECT_EQ(batch.action, QStringLiteral("move"));
    ASSERT_FALSE(log->batches.empty());
    EXPECT_EQ(std::count(log->batches[0].outcomes.begin(), log->batches[0].outcomes.end(),
                         ErrorKind::NotFound),
              1);
    EXPECT_EQ(h.runner.counters().ProcessedCount, n - 1);
    EXPECT_EQ(h.runner.counters().FailedCount, 1);
    EXPECT_EQ(h.runner.counters().TotalSize, qint64(n - 1) * 2000);
    EXPECT_EQ(h.stores.messageFiles(1, QStringLiteral("Inbox")).size(), n - 1);
    EXPECT_TRUE(h.stores.messageFiles(0, QStringLiteral("Inbox")).isEmpty());
    EXPECT_EQ(h.view.status, QStringLiteral("1000 items moved. 1 item not be processed. "
                                            "Size: 2.0 MB"));
}

TEST(ItemSets, StopActsOnTheWaitingSetAndEndsTheWalk)
{
    EngineHarness h(kStores);
    h.stores.setType(0, QLatin1String(kForeignType));
    for (int i = 0; i < 40; ++i)
        h.stores.addMessage(0, QStringLiteral("Long"), inRange(QStringLiteral("L%1").arg(i)));
    for (int i = 0; i < 5; ++i)
        h.stores.addMessage(0, QStringLiteral("Next"), inRange(QStringLiteral("N%1").arg(i)));
    const auto log = std::make_shared<ForeignBatchLog>();
    ASSERT_TRUE(h.stores.open(withForeignBackend(log)));

    // YieldInterval 10: the click in the first yield comes with ten items waiting.
    h.view.onYield = [&](int yield) {
        if (yield == 1)
            h.runner.RequestStop();
    };
    h.run(h.settings(2, false), {QStringLiteral("Long"), QStringLiteral("Next")}, 0);

    ASSERT_EQ(log->sizes(), std::vector<qsizetype>{10});
    EXPECT_EQ(log->batches.at(0).action, QStringLiteral("remove"));
    EXPECT_EQ(h.runner.counters().ProcessedCount, 10);
    EXPECT_EQ(h.runner.counters().FailedCount, 0);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Long")).size(), 30);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Deleted Items")).size(), 10);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Next")).size(), 5);
    EXPECT_EQ(h.view.actionText, QStringLiteral("Task interrupted."));
}

TEST(ItemSets, MaildirItemsAreActedOnOneAtATimeIntoAnotherBackend)
{
    EngineHarness h(kStores);
    h.stores.setType(1, QLatin1String(kForeignType));
    for (int i = 0; i < 3; ++i)
        h.stores.addMessage(0, QStringLiteral("Inbox"), inRange(QStringLiteral("M%1").arg(i)));
    const auto log = std::make_shared<ForeignBatchLog>();
    ASSERT_TRUE(h.stores.open(withForeignBackend(log)));

    // Each item is reported as soon as it alone was acted on.
    QList<qsizetype> arrivedAtEachReport;
    h.view.onItemDone = [&](const engine::ItemReport&) {
        arrivedAtEachReport << h.stores.messageFiles(1, QStringLiteral("Inbox")).size();
    };
    h.run(h.settings(1, false), {QStringLiteral("Inbox")});

    EXPECT_TRUE(log->batches.empty());
    EXPECT_EQ(arrivedAtEachReport, (QList<qsizetype>{1, 2, 3}));
    EXPECT_EQ(h.stores.messageFiles(1, QStringLiteral("Inbox")).size(), 3);
    EXPECT_EQ(h.stores.messageFiles(0, QStringLiteral("Inbox")).size(), 3);
}
