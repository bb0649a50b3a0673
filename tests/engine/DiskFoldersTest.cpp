#include "engine/DiskFolders.h"
#include "platform/FolderPath.h"

#include "EngineHarness.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::engine;
using namespace kestrel::test;

TEST(DiskFolders, TargetMirrorsTheFolderBelowItsStore)
{
    EXPECT_EQ(RelativeFolderPath(QStringLiteral("Personal Folders\\Inbox\\Clients")),
              QStringLiteral("Inbox\\Clients"));
    // A store's root folder goes to a directory named after the store.
    EXPECT_EQ(RelativeFolderPath(QStringLiteral("Personal Folders")),
              QStringLiteral("Personal Folders"));
    EXPECT_EQ(GetDiskTargetFolder(QStringLiteral("/mail/"), QStringLiteral("Personal Folders")),
              QStringLiteral("/mail/Personal Folders"));
    EXPECT_EQ(GetDiskTargetFolder(QStringLiteral("/mail/"),
                                  QStringLiteral("Personal Folders\\Q1%2FQ2 Reports\\Sub")),
              QStringLiteral("/mail/Q1%2FQ2 Reports/Sub"));
}

TEST(DiskFolders, CreatesEveryMissingLevel)
{
    const TempDir dir;
    const QString deep = dir.path() + QStringLiteral("/a/ b /c%2Fd");
    EXPECT_FALSE(DiskFolderExists(deep));
    EXPECT_TRUE(CreateDiskFolder(QStringLiteral("  ") + deep + QStringLiteral("  ")));
    EXPECT_TRUE(DiskFolderExists(deep));
    EXPECT_TRUE(QDir(dir.path() + QStringLiteral("/a/ b ")).exists()) << "inner blanks stay";
    EXPECT_TRUE(CreateDiskFolder(deep + '/')) << "an existing folder is fine";

    EXPECT_FALSE(CreateDiskFolder(QStringLiteral("   ")));
    QFile blocker(dir.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(DiskFolderExists(blocker.fileName()));
    EXPECT_FALSE(CreateDiskFolder(blocker.fileName() + QStringLiteral("/below")));
}

TEST(DiskFolders, DotNamesNeverClimbOrHide)
{
    EXPECT_EQ(GetDiskTargetFolder("/mail/", "Store\\..\\."), "/mail/%2E%2E/%2E");
    EXPECT_EQ(GetDiskTargetFolder("/mail/", ".."), "/mail/%2E%2E") << "a store named ..";
    EXPECT_EQ(GetDiskTargetFolder("/mail/", "Store\\.hidden\\a.b."), "/mail/%2Ehidden/a.b.");
}

TEST(DiskFolders, ExportOfOddFolderNamesStaysInsideTheDestination)
{
    EngineHarness h({QStringLiteral("Personal Folders"), QStringLiteral("Archive")});
    TestMessage m;
    m.received = at(2020, 6, 10);
    // Maildir folders as Dovecot names mailboxes called ".." and ".".
    const QString store = h.stores.rootDir() + QStringLiteral("/store1/");
    for (const QString& dir : {QStringLiteral(".%2E%2E"), QStringLiteral(".%2E")}) {
        h.stores.addMessage(0, QStringLiteral("Seed"), m);
        ASSERT_TRUE(QDir().rename(store + QStringLiteral(".Seed"), store + dir));
    }
    h.stores.addMessage(0, QStringLiteral("Trailing blank "), m);
    h.stores.addMessage(0, QStringLiteral("  "), m);
    ASSERT_TRUE(h.stores.open());
    QStringList ticked;
    const std::unique_ptr<platform::FolderCollection> children = h.stores.root(0)->folders();
    for (int i = 1; i <= children->count().value_or(0); ++i) {
        const QString name = children->item(i)->name().value_or(QString());
        if (name != QLatin1String("Inbox"))
            ticked << platform::FolderPath::escape(name);
    }
    const TempDir outer;
    const QString disk = outer.filePath(QStringLiteral("dest"));
    ASSERT_TRUE(QDir().mkpath(disk));

    h.run(h.settings(1, false, 1, disk), ticked);
    // However the store names them, each folder's message is exported.
    EXPECT_EQ(h.runner.counters().ProcessedCount, ticked.size()) << ticked.join(' ').toStdString();
    EXPECT_EQ(QDir(outer.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("dest")});
    EXPECT_TRUE(QDir(disk).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << "nothing lands in the destination's top";
}
