// Runs into destinations that refuse to be written: every item the run looks
// at is counted once, as done or failed, and no message is lost.

#include "EngineHarness.h"
#include "ScopedMount.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

const QStringList kStores = {QStringLiteral("Personal Folders"), QStringLiteral("Archive")};
const QString kFolder = QStringLiteral("Projects");

void addMessages(EngineHarness& h, int count, int size = 0)
{
    for (int i = 0; i < count; ++i) {
        TestMessage m;
        m.subject = QStringLiteral("message %1").arg(i);
        m.received = at(2020, 6, 10 + i);
        m.exactSize = size;
        h.stores.addMessage(0, kFolder, m);
    }
}

} // namespace

TEST(UnwritableDestination, DiskFolderBelowAFileCountsEveryItemAsFailed)
{
    EngineHarness h(kStores);
    addMessages(h, 3);
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;
    QFile blocker(disk.filePath(QStringLiteral("file.txt")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    h.run(h.settings(1, true, 1, blocker.fileName() + QStringLiteral("/sub")), {kFolder});
    EXPECT_EQ(h.view.status,
              QStringLiteral("3 items would be copied. Size: ") + h.view.status.section(' ', 6));
    h.run(h.settings(1, false, 1, blocker.fileName() + QStringLiteral("/sub")), {kFolder});
    EXPECT_EQ(h.view.status, QStringLiteral("0 items copied. 3 items not be processed."));
}

TEST(UnwritableDestination, ReadOnlyDiskFolderKeepsEveryMessageAndCountsIt)
{
    EngineHarness h(kStores);
    addMessages(h, 3);
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;
    // The mirrored folder cannot be made.
    const ScopedMount frozen = ScopedMount::readOnly(disk.path());
    if (!frozen.mounted())
        GTEST_SKIP() << "needs root for a read-only bind mount";

    h.run(h.settings(0, false, 1, disk.path()), {kFolder});
    EXPECT_EQ(h.view.status, QStringLiteral("0 items moved. 3 items not be processed."));
    EXPECT_EQ(h.stores.messageFiles(0, kFolder).size(), 3);
}

TEST(UnwritableDestination, FullDiskMovesWhatFitsAndKeepsTheRest)
{
    EngineHarness h(kStores);
    addMessages(h, 6, 150 * 1024);
    ASSERT_TRUE(h.stores.open());
    const TempDir disk;
    const ScopedMount small = ScopedMount::smallDisk(disk.path(), 512);
    if (!small.mounted())
        GTEST_SKIP() << "needs root for a tmpfs mount";

    h.run(h.settings(0, false, 1, disk.path()), {kFolder});
    const engine::TaskCounters& counters = h.runner.counters();
    EXPECT_GT(counters.ProcessedCount, 0);
    EXPECT_GT(counters.FailedCount, 0);
    EXPECT_EQ(counters.ProcessedCount + counters.FailedCount, 6);
    EXPECT_EQ(filesBelow(disk.path(), QStringLiteral("*.msg")).size(), counters.ProcessedCount);
    EXPECT_EQ(h.stores.messageFiles(0, kFolder).size(), counters.FailedCount);
    EXPECT_EQ(filesBelow(disk.path(), QStringLiteral("*.tmp")).size(), 0);
    EXPECT_TRUE(h.view.status.contains(QStringLiteral(" items not be processed.")))
        << h.view.status.toStdString();
}

TEST(UnwritableDestination, ReadOnlyStoreCountsTheFolderItCannotMirror)
{
    EngineHarness h(kStores);
    addMessages(h, 4);
    ASSERT_TRUE(h.stores.open());
    const ScopedMount frozen =
        ScopedMount::readOnly(h.stores.rootDir() + QStringLiteral("/store2"));
    if (!frozen.mounted())
        GTEST_SKIP() << "needs root for a read-only bind mount";

    h.run(h.settings(0, false), {kFolder});
    EXPECT_EQ(h.view.status, QStringLiteral("0 items moved. 4 items not be processed."));
    EXPECT_EQ(h.stores.messageFiles(0, kFolder).size(), 4);
}

TEST(UnreadableSource, AFolderThatCannotBeListedIsOneFailureAndNothingOutsideIsTouched)
{
    EngineHarness h(kStores);
    addMessages(h, 2);
    const TempDir outside;
    for (const char* sub : {"cur", "new", "tmp"})
        ASSERT_TRUE(QDir(outside.path()).mkpath(QString::fromLatin1(sub)));
    QFile foreign(outside.filePath(QStringLiteral("cur/1.outside:2,S")));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("Subject: not ours\n\nbody\n");
    foreign.close();
    // A folder of the store whose cur/ leads out of it.
    ASSERT_TRUE(h.stores.addFolder(0, QStringLiteral("Linked")));
    const QString linkedCur =
        h.stores.folderDir(0, QStringLiteral("Linked")) + QStringLiteral("/cur");
    ASSERT_TRUE(QDir(linkedCur).removeRecursively());
    ASSERT_TRUE(QFile::link(outside.filePath(QStringLiteral("cur")), linkedCur));
    ASSERT_TRUE(h.stores.open());

    h.run(h.settings(0, false, 1), {kFolder, QStringLiteral("Linked"), QStringLiteral("Gone")});
    EXPECT_EQ(h.view.status, QStringLiteral("2 items moved. 2 items not be processed.") +
                                 h.view.status.section('.', 2));
    EXPECT_TRUE(QFile::exists(foreign.fileName()));
}
