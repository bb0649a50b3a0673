#include "ShellFixture.h"
#include "dialogs/frmPictures.h"
#include "folders/FolderTreeView.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using kestrel::shell::StartupOutcome;
using kestrel::test::ShellFixture;

namespace {

QStringList entries(const QComboBox& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts.append(list.itemText(i) + "=" + list.itemData(i).toString());
    return texts;
}

QImage image(const QLabel* label)
{
    return label->pixmap().toImage();
}

} // namespace

using StartUp = ShellFixture;

TEST_F(StartUp, FirstRunShowsTheWarningFirstAndStartsFromTheDefaults)
{
    auto window = start();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(), "dialog: frmFirstWarning") << "before anything else";
    EXPECT_EQ(dialogs.shown, QStringList{"frmFirstWarning"});
    EXPECT_TRUE(messages.requests.isEmpty());
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(log.mid(1, 4),
              (QStringList{"application created", "namespace MAPI", "logon", "session opened"}));

    EXPECT_EQ(window->windowTitle(), "Kestrel Mailkeep");
    EXPECT_EQ(entries(*window->cbTopFolder),
              (QStringList{"Personal Folders=1", "Archive=2", "Projects=3", "[Disk Folder]=0"}));
    EXPECT_EQ(entries(*window->cbArchiveFolder), entries(*window->cbTopFolder));
    EXPECT_EQ(window->cbTopFolder->currentText(), "Personal Folders");
    EXPECT_EQ(window->cbArchiveFolder->currentText(), "Archive");
    EXPECT_GT(window->tvFolders->topLevelItemCount(), 0) << "the source's folders are loaded";

    EXPECT_EQ(window->cbAction->currentText(), "Move Items");
    EXPECT_EQ(image(window->imgAction), image(window->pictures().imgMove));
    EXPECT_EQ(window->cbPriority->currentText(), "High");
    EXPECT_EQ(window->cbPriority->count(), 3);
    EXPECT_EQ(window->cbDateBase->currentText(), "Date Received");
    EXPECT_EQ(window->cbDateBase->itemText(4), "Received, Sent, Modified, Created");
    EXPECT_EQ(window->dtStart->date(), QDate(1900, 1, 1));
    EXPECT_EQ(window->dtEnd->date(), QDate(QDate::currentDate().year() - 1, 12, 31));
    EXPECT_EQ(window->txtSrcFileSystemFolder->text(), "");
    EXPECT_EQ(window->txtDstFileSystemFolder->text(), "");
    EXPECT_FALSE(window->txtSrcFileSystemFolder->isEnabled());
    EXPECT_FALSE(window->txtDstFileSystemFolder->isEnabled());
    EXPECT_EQ(window->lblVer->text(), "V.1.0.0");

    // Idle at the end: green lamp on the red lamp's spot, Quit enabled, status cleared.
    EXPECT_TRUE(window->imgLEDIdle->isVisible());
    EXPECT_FALSE(window->imgLEDBusy->isVisible());
    EXPECT_EQ(window->imgLEDIdle->pos(), window->imgLEDBusy->pos());
    EXPECT_TRUE(window->cmdQuit->isEnabled());
    EXPECT_TRUE(window->cbTopFolder->isEnabled());
    EXPECT_EQ(window->lblAppStatus->text(), "");
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(window->focusWidget(), window->tvFolders);
    EXPECT_FALSE(window->cmdArchive->isEnabled()) << "nothing ticked yet";

    EXPECT_TRUE(configKeys().isEmpty()) << "start-up writes no Config value";
    EXPECT_EQ(settings->read("Dialogs", "ShowFirstWarning", "1"), "0");
    window.reset();

    dialogs.shown.clear();
    auto second = start();
    EXPECT_TRUE(dialogs.shown.isEmpty()) << "the warning is shown once";
}

TEST_F(StartUp, StoredActionsThatAreNotPositionsLeaveMoveItems)
{
    settings->write("Dialogs", "ShowFirstWarning", "0");
    for (const QString stored : {"-1", "7", "abc", ""}) {
        settings->write("Config", "Action", stored);
        auto window = start();
        EXPECT_EQ(window->cbAction->currentIndex(), 0) << stored.toStdString();
        EXPECT_EQ(image(window->imgAction), image(window->pictures().imgMove));
    }
    settings->write("Config", "Action", "2");
    auto window = start();
    EXPECT_EQ(window->cbAction->currentText(), "Delete Items");
    EXPECT_EQ(image(window->imgAction), image(window->pictures().imgDelete));
    EXPECT_NE(image(window->imgAction), image(window->pictures().imgMove));
}

TEST_F(StartUp, QuitStoresTheChoicesAndTheNextStartRestoresDiskFolder)
{
    settings->write("Config", "SourceDiskFolder", "/srv/saved msgs");
    auto window = start();
    EXPECT_EQ(window->txtSrcFileSystemFolder->text(), "/srv/saved msgs");
    window->cbArchiveFolder->setCurrentIndex(window->cbArchiveFolder->count() - 1);
    EXPECT_TRUE(window->txtDstFileSystemFolder->isEnabled());
    window->txtDstFileSystemFolder->setText(" /tmp/kept as typed ");
    window->cbAction->setCurrentIndex(1);
    log.clear();
    window->cmdQuit->click();

    EXPECT_TRUE(window->isUnloaded());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(settings->read("Config", "Destination", ""), "[Disk Folder]");
    EXPECT_EQ(settings->read("Config", "Action", ""), "1");
    EXPECT_EQ(settings->read("Config", "SourceDiskFolder", ""), "/srv/saved msgs");
    EXPECT_EQ(settings->read("Config", "DestinationDiskFolder", ""), " /tmp/kept as typed ");
    // Session first, then the namespace, then the application.
    EXPECT_EQ(log, (QStringList{"session released", "logoff", "namespace released", "quit",
                                "application released", "program ended"}));
    window.reset();

    auto again = start();
    EXPECT_EQ(again->cbArchiveFolder->currentText(), "[Disk Folder]");
    EXPECT_TRUE(again->txtDstFileSystemFolder->isEnabled());
    EXPECT_EQ(again->txtDstFileSystemFolder->text(), " /tmp/kept as typed ");
    EXPECT_EQ(again->cbAction->currentText(), "Copy Items");
    // A disk destination with a store source needs a ticked folder.
    EXPECT_FALSE(again->cmdArchive->isEnabled());
}

TEST_F(StartUp, ClosingOtherwiseRunsTheShutdownButKeepsTheOldConfig)
{
    settings->write("Config", "Destination", "projects"); // matched ignoring case
    settings->write("Config", "Action", "2");
    auto window = start();
    EXPECT_EQ(window->cbArchiveFolder->currentText(), "Projects");
    window->cbArchiveFolder->setCurrentIndex(1);
    window->cbAction->setCurrentIndex(0);
    log.clear();
    window->close();

    EXPECT_EQ(programEndedCount(), 1);
    EXPECT_EQ(log, (QStringList{"session released", "logoff", "namespace released", "quit",
                                "application released", "program ended"}));
    EXPECT_EQ(settings->read("Config", "Destination", ""), "projects");
    EXPECT_EQ(settings->read("Config", "Action", ""), "2");
    EXPECT_EQ(configKeys(), (QStringList{"Action", "Destination"}));
}

TEST_F(StartUp, AStoredDestinationThatIsGoneFallsBackToArchive)
{
    settings->write("Config", "Destination", "Old Archive 2009");
    auto window = start();
    EXPECT_EQ(window->cbArchiveFolder->currentText(), "Archive");
}

TEST_F(StartUp, ASingleStoreProfileBeepsAndWarnsOncePerStart)
{
    settings->write("Dialogs", "ShowFirstWarning", "0");
    useProfile(writeProfile({{"Mailbox - Test", demoStoreDir("Personal Folders")}}));
    for (int run = 0; run < 2; ++run) {
        log.clear();
        dialogs.shown.clear();
        auto window = start();
        EXPECT_EQ(dialogs.shown, QStringList{"frmNoArchiveWarning"});
        const qsizetype beepAt = log.indexOf("beep");
        ASSERT_GE(beepAt, 0);
        EXPECT_EQ(log.value(beepAt + 1), "dialog: frmNoArchiveWarning");
        EXPECT_EQ(log.count("beep"), 1);
        // No "Archive" entry: the destination is the first entry, the source store itself.
        EXPECT_EQ(window->cbArchiveFolder->currentIndex(), 0);
        EXPECT_FALSE(window->cmdArchive->isEnabled());
        EXPECT_TRUE(window->imgLEDIdle->isVisible());
    }
    EXPECT_EQ(beeps, 2);
}

TEST_F(StartUp, AProfileWithoutAUsableStoreSaysWhyAndShutsDown)
{
    settings->write("Dialogs", "ShowFirstWarning", "0");
    const QString gone = dir.filePath("store-that-was-deleted");
    useProfile(writeProfile({{"Archive", gone}}));
    auto window = start(StartupOutcome::SessionFailed);
    EXPECT_EQ(log,
              (QStringList{"application created", "namespace MAPI", "logon failed", "no session",
                           "message: The mail stores cannot be opened.\n\nNo store of the "
                           "mail profile can be used\n\nThe store \"Archive\" does not "
                           "exist:\n" +
                               gone,
                           "logoff", "namespace released", "quit", "application released",
                           "program ended"}));
    EXPECT_FALSE(QFileInfo::exists(gone)) << "no folder is made where the user chose none";
    EXPECT_EQ(messages.requests.value(0).icon, kestrel::dialogs::MessageIcon::Stop);
    EXPECT_EQ(messages.requests.value(0).title, "Kestrel Mailkeep");
    EXPECT_TRUE(window->isUnloaded());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(configKeys().isEmpty());

    // Two stores of one name are refused, and the message names both.
    log.clear();
    useProfile(writeProfile({{"Personal Folders", demoStoreDir("Personal Folders")},
                             {"Personal Folders", demoStoreDir("Archive")}}));
    auto twice = start(StartupOutcome::SessionFailed);
    ASSERT_GE(log.size(), 5);
    EXPECT_TRUE(log[4].startsWith("message: The mail stores cannot be opened.\n\nTwo stores of "
                                  "the mail profile are named \"Personal Folders\""))
        << log[4].toStdString();
    EXPECT_TRUE(log[4].contains(demoStoreDir("Archive"))) << log[4].toStdString();
}
