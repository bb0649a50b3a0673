#include "ShellFixture.h"
#include "folders/FolderTreeView.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using kestrel::test::ShellFixture;

using BusyState = ShellFixture;

namespace {

int visibleLamps(const kestrel::shell::frmMain& window)
{
    return int(window.imgLEDIdle->isVisible()) + int(window.imgLEDBusy->isVisible());
}

// Clicks a node as the mouse would.
void clickNode(kestrel::folders::FolderTreeView& tree, QTreeWidgetItem* node)
{
    const QRect rect = tree.visualItemRect(node);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, rect.center());
}

} // namespace

TEST_F(BusyState, ExactlyOneLampAndTheSelectionButtonsFollowBusy)
{
    auto window = start();
    window->GoBusy(true);
    EXPECT_EQ(visibleLamps(*window), 1);
    EXPECT_TRUE(window->imgLEDBusy->isVisible());
    for (QPushButton* button :
         {window->cmdSelectAll, window->cmdSelectNone, window->cmdSelectInvert})
        EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(window->cmdQuit->isEnabled()) << "GoBusy leaves the commands alone";

    window->GoBusy(false);
    EXPECT_EQ(visibleLamps(*window), 1);
    EXPECT_TRUE(window->imgLEDIdle->isVisible());
    for (QPushButton* button :
         {window->cmdSelectAll, window->cmdSelectNone, window->cmdSelectInvert})
        EXPECT_TRUE(button->isEnabled());

    window->SetAppStatus("Loading folder list...");
    EXPECT_EQ(window->lblAppStatus->text(), "Loading folder list...");
    window->SetAppStatus("");
    EXPECT_EQ(window->lblAppStatus->text(), "");
}

TEST_F(BusyState, StartAndPreviewFollowEveryBranchOfTheRule)
{
    auto window = start();
    auto enabled = [&] {
        EXPECT_EQ(window->cmdArchive->isEnabled(), window->cmdPreview->isEnabled());
        return window->cmdArchive->isEnabled();
    };
    QComboBox& source = *window->cbTopFolder;
    QComboBox& destination = *window->cbArchiveFolder;
    const int disk = source.count() - 1;

    // Store source, other store as destination: a tick decides.
    ASSERT_EQ(source.currentIndex(), 0);
    ASSERT_EQ(destination.currentIndex(), 1);
    EXPECT_FALSE(enabled());
    QTreeWidgetItem* inbox = window->tvFolders->topLevelItem(0);
    ASSERT_NE(inbox, nullptr);
    clickNode(*window->tvFolders, inbox);
    EXPECT_TRUE(window->IsFolderSelected());
    EXPECT_TRUE(enabled());
    clickNode(*window->tvFolders, inbox); // unticking the last ticked folder
    EXPECT_FALSE(enabled());
    window->cmdSelectAll->click();
    EXPECT_TRUE(enabled());
    window->cmdSelectNone->click();
    EXPECT_FALSE(enabled());
    window->cmdSelectInvert->click();
    EXPECT_TRUE(enabled());

    // No destination chosen, or the same store on both sides: off whatever is ticked.
    destination.setCurrentIndex(-1);
    EXPECT_FALSE(enabled());
    destination.setCurrentIndex(0);
    EXPECT_FALSE(enabled());
    destination.setCurrentIndex(2);
    EXPECT_TRUE(enabled());

    // Disk source: no tick needed (its tree is empty), but not disk to disk.
    source.setCurrentIndex(disk);
    EXPECT_EQ(window->tvFolders->topLevelItemCount(), 0);
    EXPECT_FALSE(window->IsFolderSelected());
    EXPECT_TRUE(enabled());
    destination.setCurrentIndex(disk);
    EXPECT_FALSE(enabled());
    destination.setCurrentIndex(-1);
    EXPECT_FALSE(enabled());

    // Back to a store source: the tree reloads unticked.
    destination.setCurrentIndex(1);
    source.setCurrentIndex(2);
    EXPECT_GT(window->tvFolders->topLevelItemCount(), 0);
    EXPECT_FALSE(window->txtSrcFileSystemFolder->isEnabled());
    EXPECT_FALSE(enabled());
}

TEST_F(BusyState, RunningStateAndStopTurnTheQuitButton)
{
    auto window = start();
    window->cmdSelectAll->click();
    ASSERT_TRUE(window->cmdArchive->isEnabled());

    window->GoBusy(true);
    window->enterRunningState();
    window->flags().TaskRunning = true;
    EXPECT_FALSE(window->cmdArchive->isEnabled());
    EXPECT_FALSE(window->cmdPreview->isEnabled());
    EXPECT_EQ(window->cmdQuit->text(), "&Stop");
    EXPECT_TRUE(window->cmdQuit->isEnabled());
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);

    window->cmdQuit->click(); // Stop, not Quit
    EXPECT_TRUE(window->flags().StopRequested);
    EXPECT_EQ(window->cmdQuit->text(), "WAIT");
    EXPECT_FALSE(window->cmdQuit->isEnabled());
    EXPECT_FALSE(window->isUnloaded());
    EXPECT_TRUE(configKeys().isEmpty());

    window->flags().TaskRunning = false;
    window->leaveRunningState();
    window->EnableArchiveButton();
    window->GoBusy(false);
    EXPECT_EQ(window->cmdQuit->text(), "&Quit");
    EXPECT_TRUE(window->cmdQuit->isEnabled());
    EXPECT_TRUE(window->cmdArchive->isEnabled());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(BusyState, ProgressAreaFollowsTheFolderConvention)
{
    auto window = start();
    EXPECT_EQ(window->lblCurrentFolder->text(), "Waiting...");
    EXPECT_EQ(window->lblCurrentAction->text(), "Waiting...");
    EXPECT_TRUE(window->pbCurrent->isVisible());
    EXPECT_EQ(window->pbCurrent->value(), 0);
    EXPECT_NE(window->pbCurrent->minimum(), window->pbCurrent->maximum())
        << "0..0 would be Qt's busy animation, not an empty bar";

    window->setCurrentFolderText("Inbox");
    window->setCurrentActionText("Initialising folder...");
    window->setProgressMaximum(12);
    window->setProgressValue(5);
    EXPECT_EQ(window->lblCurrentFolder->text(), "Inbox");
    EXPECT_EQ(window->lblCurrentAction->text(), "Initialising folder...");
    EXPECT_EQ(window->pbCurrent->maximum(), 12);
    EXPECT_EQ(window->pbCurrent->value(), 5);
    window->setProgressMaximum(0);
    window->setProgressValue(0);
    EXPECT_EQ(window->pbCurrent->value(), 0);
    window->setProgressVisible(false);
    EXPECT_FALSE(window->pbCurrent->isVisible());
}
