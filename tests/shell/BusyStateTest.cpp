#include "ShellFixture.h"
#include "engine/TaskCounters.h"
#include "folders/FolderTreeView.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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

TEST_F(BusyState, TheLongestSummaryFitsTheStatusLineAndLongerTextsKeepBothEnds)
{
    auto window = start();
    kestrel::engine::TaskCounters counters;
    counters.ProcessedCount = 1234567;
    counters.FailedCount = 123456;
    counters.TotalSize = 99999LL * 1024 * 1000;
    const QString summary = kestrel::engine::ResultsText(counters, 2, true);
    ASSERT_TRUE(summary.endsWith(" MB"));
    window->SetAppStatus(summary);
    EXPECT_TRUE(window->lblAppStatus->showsWholeText())
        << window->lblAppStatus->width() << " px for: " << summary.toStdString();
    EXPECT_TRUE(window->lblAppStatus->toolTip().isEmpty());

    // Wider than any window: elided, the whole text is the tooltip.
    const QString longer = summary + " " + QString(200, 'x') + " end";
    window->SetAppStatus(longer);
    EXPECT_FALSE(window->lblAppStatus->showsWholeText());
    EXPECT_EQ(window->lblAppStatus->text(), longer);
    EXPECT_TRUE(window->lblAppStatus->toolTip() == longer);
    EXPECT_LE(window->width(), 720) << "the text does not widen the window";
}
