// Choosing the source and the destination in the real main window: the two
// change handlers, the disk-folder edits and their pickers, and the roots the
// chosen entries stand for.

#include "TaskWindow.h"
#include "folders/FolderTreeView.h"
#include "shell/StoreLists.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

using namespace kestrel;

namespace {

using StoreSelection = test::TaskWindow;

QString documents()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace

TEST_F(StoreSelection, ChangingTheSourceLoadsWhileDisabledAndBusyAndDiskFolderEmptiesTheTree)
{
    writeStores();
    addMessages("Inbox", 3);
    addMessages("Projects", 1);
    auto window = start();
    QApplication::setActiveWindow(window.get());
    QComboBox& source = *window->cbTopFolder;
    const int disk = source.count() - 1;
    ASSERT_GT(window->tvFolders->topLevelItemCount(), 0);

    // Disk folder: the empty edit gets the documents folder, caret at its end.
    window->txtSrcFileSystemFolder->clear();
    source.setCurrentIndex(disk);
    EXPECT_EQ(window->tvFolders->topLevelItemCount(), 0);
    EXPECT_TRUE(window->txtSrcFileSystemFolder->isEnabled());
    EXPECT_TRUE(window->cmdPickSrcFileSystemFolder->isEnabled());
    EXPECT_EQ(window->txtSrcFileSystemFolder->text(), documents());
    EXPECT_EQ(window->txtSrcFileSystemFolder->cursorPosition(), documents().size());
    EXPECT_EQ(window->focusWidget(), window->txtSrcFileSystemFolder);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->imgLEDIdle->isVisible());

    // Back to a store: the tree is loaded while the window is off and busy.
    QStringList during;
    window->tvFolders->setStatusSink([&](const QString& status) {
        during.append(QStringLiteral("%1 enabled=%2 busy=%3")
                          .arg(status)
                          .arg(window->isEnabled())
                          .arg(window->imgLEDBusy->isVisible()));
    });
    window->txtSrcFileSystemFolder->setText("/kept/as typed");
    source.setCurrentIndex(0);
    ASSERT_FALSE(during.isEmpty());
    EXPECT_EQ(during.first(), "Loading folder list... enabled=0 busy=1");
    EXPECT_EQ(during.last(), " enabled=0 busy=1");
    EXPECT_TRUE(window->isEnabled());
    EXPECT_TRUE(window->imgLEDIdle->isVisible());
    EXPECT_FALSE(window->txtSrcFileSystemFolder->isEnabled());
    EXPECT_FALSE(window->cmdPickSrcFileSystemFolder->isEnabled());
    EXPECT_NE(node(*window, "Projects"), nullptr);

    // A source text already there is kept.
    source.setCurrentIndex(disk);
    EXPECT_EQ(window->txtSrcFileSystemFolder->text(), "/kept/as typed");
}

TEST_F(StoreSelection, DestinationDiskFolderAndThePickers)
{
    writeStores();
    auto window = start();
    QApplication::setActiveWindow(window.get());
    QComboBox& destination = *window->cbArchiveFolder;
    const int disk = destination.count() - 1;
    QLineEdit& edit = *window->txtDstFileSystemFolder;

    // An edit that holds a folder keeps it; focus and caret come to it.
    edit.setText("/srv/archive");
    destination.setCurrentIndex(disk);
    EXPECT_EQ(edit.text(), "/srv/archive");
    EXPECT_TRUE(edit.isEnabled());
    EXPECT_TRUE(window->cmdPickDstFileSystemFolder->isEnabled());
    EXPECT_EQ(edit.cursorPosition(), 12);
    EXPECT_EQ(window->focusWidget(), &edit);
    destination.setCurrentIndex(1);
    EXPECT_FALSE(edit.isEnabled());
    EXPECT_FALSE(window->cmdPickDstFileSystemFolder->isEnabled());
    edit.clear();
    destination.setCurrentIndex(disk);
    EXPECT_EQ(edit.text(), documents());

    // The picker starts at the trimmed text; cancel keeps it, the focus
    // goes to the edit either way.
    edit.setText("  /srv/start here ");
    window->cmdSelectAll->setFocus();
    picker->answer.reset();
    window->cmdPickDstFileSystemFolder->click();
    EXPECT_EQ(picker->startFolders, QStringList{"/srv/start here"});
    EXPECT_EQ(edit.text(), "  /srv/start here ");
    EXPECT_EQ(window->focusWidget(), &edit);
    picker->answer = maildir->root();
    window->cmdPickDstFileSystemFolder->click();
    EXPECT_EQ(edit.text(), maildir->root());

    // The source picker works on its own edit.
    window->cbTopFolder->setCurrentIndex(window->cbTopFolder->count() - 1);
    window->txtSrcFileSystemFolder->setText("/a");
    picker->answer = "/b/c";
    window->cmdSelectAll->setFocus();
    window->cmdPickSrcFileSystemFolder->click();
    EXPECT_EQ(window->txtSrcFileSystemFolder->text(), "/b/c");
    EXPECT_EQ(window->focusWidget(), window->txtSrcFileSystemFolder);
    EXPECT_EQ(edit.text(), maildir->root());
}

TEST_F(StoreSelection, RootsOfTheChosenEntriesAndTheDefaultStoreInSecondPlace)
{
    maildir->addStore("Mailbox");
    maildir->addStore("Personal Folders");
    maildir->addStore("Archive Folders");
    maildir->folderDir("Inbox", "Personal Folders");
    maildir->writeProfile("Personal Folders");
    settings->write("Config", "Destination", "arch");
    auto window = start();

    // The default store is the second record: its entry is the source.
    EXPECT_EQ(window->cbTopFolder->currentIndex(), 1);
    EXPECT_EQ(window->cbTopFolder->currentData().toInt(), 2);
    // "arch" matches "Archive Folders" by its beginning.
    EXPECT_EQ(window->cbArchiveFolder->currentText(), "Archive Folders");

    auto sourceRoot = window->GetSourceRoot();
    auto archiveRoot = window->GetArchiveRoot();
    ASSERT_TRUE(sourceRoot && archiveRoot);
    EXPECT_EQ(sourceRoot->name().value_or(""), "Personal Folders");
    EXPECT_EQ(archiveRoot->name().value_or(""), "Archive Folders");
    EXPECT_EQ(sourceRoot->isStoreRoot().value_or(false), true);

    // No root for "[Disk Folder]" or no entry; no entry is no disk folder.
    QComboBox& destination = *window->cbArchiveFolder;
    destination.setCurrentIndex(destination.count() - 1);
    EXPECT_TRUE(shell::IsDiskFolderSelected(destination));
    EXPECT_EQ(window->GetArchiveRoot(), nullptr);
    destination.setCurrentIndex(-1);
    EXPECT_FALSE(shell::IsDiskFolderSelected(destination));
    EXPECT_EQ(window->GetArchiveRoot(), nullptr);
    EXPECT_EQ(window->GetSelectedStore(*window->cbTopFolder)->name().value_or(""),
              "Personal Folders");
}

// The load reads the namespace between its yields: a close that arrives in
// one of them waits until the tree is complete.
TEST_F(StoreSelection, ClosingTheWindowWhileTheTreeLoadsClosesItAfterTheLoad)
{
    writeStores();
    for (int i = 0; i < 35; ++i)
        maildir->folderDir(QStringLiteral("Folder %1").arg(i), "Archive");
    auto window = start();
    bool closeArrived = false;
    QTimer::singleShot(0, window.get(), [&] {
        closeArrived = true;
        window->close();
    });
    window->cbTopFolder->setCurrentIndex(1);
    ASSERT_TRUE(closeArrived) << "the load never let the event queue run";
    EXPECT_NE(node(*window, "Folder 34"), nullptr) << "the load went on to its end";
    EXPECT_TRUE(window->isUnloaded()) << "and the window closed after it";
    EXPECT_EQ(programEndedCount(), 1);
}
