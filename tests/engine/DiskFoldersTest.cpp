#include "engine/DiskFolders.h"

#include "support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace kestrel::engine;

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
    const kestrel::test::TempDir dir;
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
