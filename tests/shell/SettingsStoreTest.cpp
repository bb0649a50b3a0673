#include "shell/SettingsStore.h"

#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

using kestrel::shell::SettingsStore;

TEST(SettingsStore, MissingKeysGiveTheReadersDefault)
{
    kestrel::test::TempDir dir;
    SettingsStore settings(dir.filePath("settings.ini"));
    EXPECT_EQ(settings.read("Dialogs", "ShowFirstWarning", "1"), "1");
    EXPECT_EQ(settings.read("MSG", "Pattern", "%ct% %su%"), "%ct% %su%");
    EXPECT_EQ(settings.read("Config", "Destination", ""), "");
    EXPECT_FALSE(QFile::exists(dir.filePath("settings.ini"))) << "reading writes nothing";
}

TEST(SettingsStore, WrittenTextsComeBackExactlyInANewStoreAndNothingIsDeleted)
{
    kestrel::test::TempDir dir;
    const QString path = dir.filePath("settings.ini");
    {
        SettingsStore settings(path);
        ASSERT_TRUE(settings.write("Config", "Destination", "[Disk Folder]"));
        ASSERT_TRUE(settings.write("Config", "Action", "2"));
        ASSERT_TRUE(settings.write("Config", "SourceDiskFolder", "  /tmp/with blanks/ "));
        ASSERT_TRUE(settings.write("MSG", "Pattern", "%ct% %su%"));
        ASSERT_TRUE(settings.write("Dialogs", "ShowFirstWarning", "0"));
        ASSERT_TRUE(settings.write("Config", "Action", "1")); // overwrite, not add
    }
    SettingsStore again(path);
    EXPECT_EQ(again.read("Config", "Destination", "x"), "[Disk Folder]");
    EXPECT_EQ(again.read("Config", "Action", "x"), "1");
    EXPECT_EQ(again.read("Config", "SourceDiskFolder", "x"), "  /tmp/with blanks/ ");
    EXPECT_EQ(again.read("MSG", "Pattern", "x"), "%ct% %su%");
    EXPECT_EQ(again.read("Dialogs", "ShowFirstWarning", "x"), "0");
    // Same key in another section is another setting.
    EXPECT_EQ(again.read("Dialogs", "Action", "none"), "none");

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[Config]"));
    EXPECT_TRUE(text.contains("[Dialogs]"));
    EXPECT_TRUE(text.contains("[MSG]"));
}

TEST(SettingsStore, AnUnwritableFileIsReportedNotThrown)
{
    kestrel::test::TempDir dir;
    QFile blocker(dir.filePath("blocker")); // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore settings(dir.filePath("blocker/settings.ini"));
    EXPECT_FALSE(settings.write("Config", "Action", "0"));
    EXPECT_EQ(settings.read("Dialogs", "ShowFirstWarning", "1"), "1");
}
