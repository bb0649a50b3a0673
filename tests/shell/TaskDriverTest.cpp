// Start, Preview and Stop through the real main window, offscreen, on real
// Maildir stores; message boxes and the confirmation answered by the test.

#include "TaskWindow.h"
#include "dialogs/frmConfig.h"
#include "engine/TaskCounters.h"
#include "folders/FolderTreeView.h"
#include "support/ForeignBackend.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

using namespace kestrel;
using dialogs::MessageAnswer;
using dialogs::MessageButtons;
using dialogs::MessageIcon;

namespace {

class TaskDriver : public test::TaskWindow {
protected:
    // Presses a command button whatever the Start/Preview rule says, so the
    // check itself is reached.
    static void press(QPushButton* button)
    {
        button->setEnabled(true);
        button->click();
    }
    const dialogs::MessageBoxRequest& onlyBox()
    {
        EXPECT_EQ(messages.requests.size(), 1) << messages.texts().join(" | ").toStdString();
        static const dialogs::MessageBoxRequest none;
        return messages.requests.isEmpty() ? none : messages.requests.last();
    }
    QString storedSource() { return settings->read("Config", "SourceDiskFolder", "<unset>"); }
    QString storedDestination()
    {
        return settings->read("Config", "DestinationDiskFolder", "<unset>");
    }
    QString programSound() const
    {
        return QApplication::applicationDirPath() + "/task complete.wav";
    }
};

} // namespace

TEST_F(TaskDriver, EveryRefusalOfTheCheckIsToldWithItsBoxAndFocus)
{
    writeStores();
    addMessages("Inbox", 2);
    auto window = start();
    QApplication::setActiveWindow(window.get());
    QComboBox& source = *window->cbTopFolder;
    QComboBox& destination = *window->cbArchiveFolder;
    const int disk = source.count() - 1;
    tick(*window, "Inbox");
    // Presses the button with the focus on `from`: one box with this text
    // and icon, and the focus on `to` afterwards.
    auto refused = [&](QPushButton* button, QWidget* from, const QString& text, MessageIcon icon,
                       QWidget* to) {
        messages.requests.clear();
        from->setFocus();
        press(button);
        EXPECT_EQ(onlyBox().text, text);
        EXPECT_EQ(onlyBox().icon, icon) << text.toStdString();
        EXPECT_EQ(window->focusWidget(), to) << text.toStdString();
        return onlyBox();
    };

    // 1: no source chosen.
    source.setCurrentIndex(-1);
    window->txtSrcFileSystemFolder->setText("typed source");
    window->txtDstFileSystemFolder->setText("typed destination");
    const dialogs::MessageBoxRequest box =
        refused(window->cmdArchive, window->dtStart, "Select a 'Source' data store to archive",
                MessageIcon::Information, &source);
    EXPECT_EQ(box.buttons, MessageButtons::Ok);
    EXPECT_EQ(box.title, "Kestrel Mailkeep");
    // Start writes both disk folders whatever became of it.
    EXPECT_EQ(storedSource(), "typed source");
    EXPECT_EQ(storedDestination(), "typed destination");

    // 2: no destination chosen.
    source.setCurrentIndex(0);
    destination.setCurrentIndex(-1);
    refused(window->cmdArchive, window->dtStart,
            "Select a ' Destination' data store in which archived items can be saved.",
            MessageIcon::Information, &destination);

    // 3: the same entry on both sides, a store or "[Disk Folder]".
    for (int same : {0, disk}) {
        source.setCurrentIndex(same);
        destination.setCurrentIndex(same);
        refused(window->cmdPreview, window->dtStart,
                "The 'Source' and 'Destination' cannot be the same.", MessageIcon::Stop,
                &destination);
    }

    // 4a/4b: a disk source of blanks; one that does not exist, typed with a
    // blank at its end (it exists without); a file. The focus stays.
    source.setCurrentIndex(disk);
    destination.setCurrentIndex(1);
    window->txtSrcFileSystemFolder->setText("   ");
    refused(window->cmdArchive, window->dtEnd, "You must specify a 'Source' folder.",
            MessageIcon::Stop, window->dtEnd);
    EXPECT_EQ(storedSource(), "   ");
    const QString missing = maildir->root() + "/no such folder ";
    QDir().mkpath(maildir->root() + "/no such folder");
    window->txtSrcFileSystemFolder->setText(missing);
    refused(window->cmdArchive, window->dtEnd, "The folder: " + missing + "\r\n does not exist.",
            MessageIcon::Stop, window->dtEnd);
    const QString file = maildir->root() + "/profile.ini";
    window->txtSrcFileSystemFolder->setText(file);
    refused(window->cmdPreview, window->dtEnd, "The folder: " + file + "\r\n does not exist.",
            MessageIcon::Stop, window->dtEnd);

    // 6a: an empty destination disk folder; with a store destination its
    // text does not matter.
    source.setCurrentIndex(0);
    tick(*window, "Inbox");
    destination.setCurrentIndex(disk);
    window->txtDstFileSystemFolder->setText("  ");
    refused(window->cmdArchive, window->dtEnd, "You must select a 'Destination' Folder.",
            MessageIcon::Stop, window->txtDstFileSystemFolder);
    EXPECT_EQ(window->flags().TasksRunCount, 0) << "refusals do not count";

    // 6c: the file system root asks, with no title of its own and No first.
    window->txtDstFileSystemFolder->setText(" /");
    window->txtDstFileSystemFolder->setCursorPosition(0);
    const dialogs::MessageBoxRequest root =
        refused(window->cmdArchive, window->dtEnd,
                "Are you sure you want to place messages in the ROOT folder of your / drive",
                MessageIcon::Question, window->txtDstFileSystemFolder);
    EXPECT_EQ(root.buttons, MessageButtons::YesNo);
    EXPECT_EQ(root.defaultButton, MessageAnswer::No);
    EXPECT_EQ(root.title, "");
    EXPECT_EQ(window->txtDstFileSystemFolder->cursorPosition(), 2) << "caret at the end";
    EXPECT_EQ(window->flags().TasksRunCount, 0);

    // Yes goes on to the confirmation (cancelled here): that Start counts.
    messages.requests.clear();
    messages.answers = {MessageAnswer::Yes};
    cancelConfirmation = true;
    press(window->cmdArchive);
    EXPECT_EQ(messages.requests.size(), 1);
    EXPECT_EQ(confirmations, QStringList{"MOVE MATCHING MESSAGES | Personal Folders | /"});
    EXPECT_EQ(window->flags().TasksRunCount, 1);
    EXPECT_FALSE(window->flags().TaskRunning);

    // A folder below the root is not asked about; a preview never counts.
    window->txtDstFileSystemFolder->setText(maildir->root() + "/out");
    messages.requests.clear();
    confirmations.clear();
    press(window->cmdPreview);
    EXPECT_TRUE(messages.requests.isEmpty());
    EXPECT_EQ(confirmations, QStringList{"PREVIEW MOVE MATCHING MESSAGES | Personal Folders | " +
                                         maildir->root() + "/out/"});
    EXPECT_EQ(window->flags().TasksRunCount, 1);
    EXPECT_EQ(storedDestination(), " /") << "Preview writes nothing";
    EXPECT_FALSE(QFileInfo::exists(maildir->root() + "/out"));
}

TEST_F(TaskDriver, UnopenableRootsStopTheRunBeforeTheConfirmation)
{
    writeStores();
    addMessages("Inbox", 1);
    auto window = start();
    tick(*window, "Inbox");
    settings->write("Dialogs", "ShowConfirmation", "0");

    // The archive's data goes away after start-up: it stays listed.
    unopenableStores = {"Archive"};
    press(window->cmdArchive);
    EXPECT_EQ(onlyBox().text, "Cannot open the 'Destination' Root.");
    EXPECT_EQ(onlyBox().title, "Kestrel Mailkeep");
    EXPECT_EQ(onlyBox().icon, MessageIcon::Stop);
    EXPECT_EQ(window->flags().TasksRunCount, 1) << "it passed the check";

    messages.requests.clear();
    unopenableStores = {"Personal Folders"};
    press(window->cmdPreview);
    EXPECT_EQ(onlyBox().text, "Cannot open the 'Source' Root.");
    EXPECT_EQ(window->flags().TasksRunCount, 1);
    EXPECT_TRUE(sound->played.isEmpty()) << "no run, no sound";
}

TEST_F(TaskDriver, MoveAndDeleteFromAStoreThatCanOnlyBeReadAreRefusedCopyRuns)
{
    writeStores();
    addMessages("Inbox", 2);
    QSettings(maildir->root() + "/profile.ini", QSettings::IniFormat)
        .setValue("Store1/Type", test::kReadOnlyType);
    backends = test::withForeignBackend();
    settings->write("Dialogs", "ShowConfirmation", "0");
    auto window = start();
    QApplication::setActiveWindow(window.get());
    ASSERT_EQ(window->cbTopFolder->currentText(), "Personal Folders");
    ASSERT_EQ(window->cbArchiveFolder->currentText(), "Archive");
    tick(*window, "Inbox");

    // A preview is refused too: it would count what Start cannot do.
    for (const int action : {0, 2}) {
        for (QPushButton* button : {window->cmdArchive, window->cmdPreview}) {
            messages.requests.clear();
            window->cbAction->setCurrentIndex(action);
            window->dtStart->setFocus();
            press(button);
            EXPECT_EQ(onlyBox().text, "The 'Source' data store can only be read: its items can "
                                      "be copied, but not moved or deleted.");
            EXPECT_EQ(onlyBox().icon, MessageIcon::Stop);
            EXPECT_EQ(window->focusWidget(), window->cbAction);
        }
    }
    EXPECT_EQ(window->flags().TasksRunCount, 0) << "refusals do not count";
    EXPECT_EQ(maildir->messageFiles("Inbox").size(), 2);
    EXPECT_TRUE(maildir->messageFiles("Inbox", "Archive").isEmpty());

    messages.requests.clear();
    window->cbAction->setCurrentIndex(1);
    press(window->cmdArchive);
    EXPECT_TRUE(messages.requests.isEmpty()) << messages.texts().join(" | ").toStdString();
    EXPECT_EQ(window->flags().TasksRunCount, 1);
    EXPECT_EQ(maildir->messageFiles("Inbox").size(), 2);
    EXPECT_EQ(maildir->messageFiles("Inbox", "Archive").size(), 2);
}

TEST_F(TaskDriver, PreviewThenStartEachCountFromZeroAndRenewTheTickedCounts)
{
    writeStores();
    addMessages("Inbox", 6);
    addMessages("Sent Items", 2);
    auto window = start();
    window->dtStart->setDate(QDate(2020, 1, 1));
    window->dtEnd->setDate(QDate(2020, 6, 10));
    tick(*window, "Inbox");
    ASSERT_NE(node(*window, "Sent Items"), nullptr);
    EXPECT_EQ(node(*window, "Inbox")->text(0), "Inbox [6]");
    EXPECT_EQ(node(*window, "Sent Items")->text(0), "Sent Items [2]");

    // What the window shows inside the run's yields.
    const std::initializer_list<QWidget*> locked = {
        window->cbTopFolder, window->tvFolders,       window->cbDateBase,
        window->dtStart,     window->dtEnd,           window->chkIncludeUnread,
        window->chkNoAging,  window->cbArchiveFolder, window->cbPriority};
    QStringList folderTexts;
    bool lockedDuringRun = true;
    test::YieldProbe probe([&] {
        if (!window->flags().TaskRunning)
            return;
        folderTexts.append(window->lblCurrentFolder->text());
        for (QWidget* control : locked)
            lockedDuringRun = lockedDuringRun && !control->isEnabled();
    });

    messages.requests.clear();
    window->cmdPreview->click();
    EXPECT_TRUE(messages.requests.isEmpty());
    EXPECT_EQ(confirmations,
              QStringList{"PREVIEW MOVE MATCHING MESSAGES | Personal Folders | Archive"});
    EXPECT_TRUE(window->lblAppStatus->text().startsWith("6 items would be moved."));
    EXPECT_TRUE(folderTexts.contains("Inbox"));
    EXPECT_TRUE(folderTexts.contains("Done. Archived 6 Item(s)"));
    EXPECT_TRUE(lockedDuringRun);
    EXPECT_EQ(maildir->messageFiles("Inbox", "Personal Folders").size(), 6)
        << "a preview moves nothing";
    EXPECT_EQ(window->flags().TasksRunCount, 0);
    EXPECT_TRUE(configKeys().isEmpty()) << "Preview writes nothing";
    EXPECT_EQ(sound->played, QStringList{programSound()}) << "after a preview too";

    // An unticked folder changes behind the window's back: its count stays.
    addMessages("Sent Items", 1, "late");
    folderTexts.clear();
    window->cmdArchive->click();
    EXPECT_TRUE(window->lblAppStatus->text().startsWith("6 items moved."))
        << "counted from zero again";
    EXPECT_TRUE(folderTexts.contains("Done. Archived 6 Item(s)"));
    EXPECT_FALSE(folderTexts.contains("Sent Items"));
    EXPECT_EQ(maildir->messageFiles("Inbox", "Archive").size(), 6);
    EXPECT_EQ(node(*window, "Inbox")->text(0), "Inbox [0]");
    EXPECT_EQ(node(*window, "Sent Items")->text(0), "Sent Items [2]");
    EXPECT_EQ(window->flags().TasksRunCount, 1);

    // The window back at rest, unlocked.
    EXPECT_EQ(window->lblCurrentAction->text(), "Task completed.");
    EXPECT_EQ(window->lblCurrentFolder->text(), "");
    EXPECT_FALSE(window->pbCurrent->isVisible());
    EXPECT_EQ(window->cmdQuit->text(), "&Quit");
    EXPECT_TRUE(window->imgLEDIdle->isVisible());
    for (QWidget* control : locked)
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_FALSE(window->txtSrcFileSystemFolder->isEnabled()) << "a store source keeps it off";
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(storedSource(), "");
    EXPECT_EQ(storedDestination(), "");
    EXPECT_EQ(sound->played.size(), 2);
}

TEST_F(TaskDriver, StopInTheMiddleOfALongFolderFinishesAtItsNextTest)
{
    writeStores();
    addMessages("Long", 200);
    addMessages("Next", 5);
    auto window = start();
    settings->write("Dialogs", "ShowConfirmation", "0");
    window->cbPriority->setCurrentIndex(0); // YieldInterval 10
    tick(*window, "Long");
    tick(*window, "Next");

    qint64 processedAtClick = -1;
    QString captionAfterClick;
    bool enabledAfterClick = true;
    QString captionBeforeClick;
    QStringList folderTexts;
    test::YieldProbe probe([&] {
        if (!window->flags().TaskRunning)
            return;
        folderTexts.append(window->lblCurrentFolder->text());
        if (processedAtClick < 0 && window->lblCurrentAction->text().startsWith("Item ") &&
            window->runner().counters().ProcessedCount >= 30) {
            captionBeforeClick = window->cmdQuit->text();
            processedAtClick = window->runner().counters().ProcessedCount;
            QTest::mouseClick(window->cmdQuit, Qt::LeftButton);
            captionAfterClick = window->cmdQuit->text();
            enabledAfterClick = window->cmdQuit->isEnabled();
        }
    });
    window->cmdArchive->click();

    ASSERT_GE(processedAtClick, 30);
    EXPECT_EQ(captionBeforeClick, "&Stop");
    EXPECT_EQ(captionAfterClick, "WAIT");
    EXPECT_FALSE(enabledAfterClick);
    // Where the run stops is the engine's to prove; the window shows it.
    const qint64 processed = window->runner().counters().ProcessedCount;
    EXPECT_LT(processed, 200);
    EXPECT_FALSE(folderTexts.contains("Next")) << "no further folder";
    EXPECT_EQ(window->lblCurrentAction->text(), "Task interrupted.");
    EXPECT_TRUE(
        window->lblAppStatus->text().startsWith(QString::number(processed) + " items moved."));
    EXPECT_EQ(window->cmdQuit->text(), "&Quit");
    EXPECT_TRUE(window->cmdQuit->isEnabled());
    EXPECT_FALSE(window->isUnloaded()) << "the click stopped, it did not quit";
    EXPECT_EQ(sound->played, QStringList{programSound()}) << "after an interrupted run too";

    // The next run starts without the stop.
    window->cmdPreview->click();
    EXPECT_FALSE(window->flags().StopRequested);
    EXPECT_EQ(window->lblCurrentAction->text(), "Task completed.");
    EXPECT_EQ(window->runner().counters().ProcessedCount, 200 - processed + 5);
}

TEST_F(TaskDriver, DeleteToDeletedItemsThenMsgFilesToADiskFolderAndBackFromIt)
{
    writeStores();
    addMessages("Inbox", 3);
    addMessages("Projects", 2);
    auto window = start();
    settings->write("Dialogs", "ShowConfirmation", "0");
    tick(*window, "Inbox");

    // Delete is always confirmed.
    window->cbAction->setCurrentIndex(2);
    window->cmdArchive->click();
    EXPECT_EQ(confirmations, QStringList{"DELETE MATCHING MESSAGES | Personal Folders | Archive"});
    EXPECT_TRUE(window->lblAppStatus->text().startsWith("3 items deleted."))
        << window->lblAppStatus->text().toStdString();

    // Copy into a disk folder that does not exist yet: one .msg file per item.
    tick(*window, "Inbox", false);
    tick(*window, "Projects");
    window->cbAction->setCurrentIndex(1);
    window->cbArchiveFolder->setCurrentIndex(window->cbArchiveFolder->count() - 1);
    const QString out = maildir->root() + "/exported";
    window->txtDstFileSystemFolder->setText(" " + out + " ");
    messages.requests.clear();
    window->cmdArchive->click();
    EXPECT_TRUE(messages.requests.isEmpty()) << messages.texts().join(" | ").toStdString();
    const QStringList files = QDir(out + "/Projects").entryList({"*.msg"}, QDir::Files);
    EXPECT_EQ(files.size(), 2) << QDir(out).entryList().join(",").toStdString();
    EXPECT_TRUE(window->lblAppStatus->text().startsWith("2 items copied."));
    EXPECT_EQ(window->TaskSettings.DestinationPath, out + "/");
    EXPECT_EQ(storedDestination(), " " + out + " ");

    // The disk folder as the source: its .msg files move into the archive,
    // into the folder that mirrors their directory. No tick is needed.
    window->cbArchiveFolder->setCurrentIndex(1);
    window->cbTopFolder->setCurrentIndex(window->cbTopFolder->count() - 1);
    window->txtSrcFileSystemFolder->setText(out);
    window->cbAction->setCurrentIndex(0);
    ASSERT_TRUE(window->cmdArchive->isEnabled());
    window->cmdArchive->click();
    EXPECT_TRUE(messages.requests.isEmpty()) << messages.texts().join(" | ").toStdString();
    EXPECT_TRUE(window->lblAppStatus->text().startsWith("2 items moved."));
    EXPECT_EQ(maildir->messageFiles("Projects", "Archive").size(), 2);
    EXPECT_EQ(storedSource(), out);
}

TEST_F(TaskDriver, ShutdownShowsThePerformanceTipOnlyAfterACountedStart)
{
    writeStores();
    addMessages("Inbox", 1);
    const QString tip = "dialog: frmCompactInfo";
    {
        auto window = start();
        tick(*window, "Inbox");
        window->cmdPreview->click();
        window->cmdQuit->click();
        EXPECT_TRUE(window->isUnloaded());
        EXPECT_FALSE(log.contains(tip)) << "after previews only";
    }
    {
        auto window = start();
        tick(*window, "Inbox");
        cancelConfirmation = true; // a counted Start all the same
        window->cmdArchive->click();
        EXPECT_EQ(window->flags().TasksRunCount, 1);
        log.clear();
        window->close();
        EXPECT_TRUE(window->isUnloaded());
        ASSERT_GE(log.size(), 2);
        EXPECT_EQ(log.at(log.size() - 2), tip) << log.join(" | ").toStdString();
        EXPECT_EQ(log.last(), "program ended");
    }
}

TEST_F(TaskDriver, ClosingTheWindowDuringARunStopsItInstead)
{
    writeStores();
    addMessages("Inbox", 100);
    auto window = start();
    settings->write("Dialogs", "ShowConfirmation", "0");
    window->cbPriority->setCurrentIndex(0);
    tick(*window, "Inbox");
    bool closed = false;
    test::YieldProbe probe([&] {
        if (window->flags().TaskRunning && !closed) {
            closed = true;
            window->close();
        }
    });
    window->cmdPreview->click();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(window->isUnloaded());
    EXPECT_EQ(window->lblCurrentAction->text(), "Task interrupted.");
    EXPECT_EQ(programEndedCount(), 0);
}

// The run took its action at its start; a new pattern applies to the files
// written after the change.
TEST_F(TaskDriver, TheActionAndThePatternStayOpenDuringARun)
{
    writeStores();
    addMessages("Inbox", 40);
    auto window = start();
    settings->write("Dialogs", "ShowConfirmation", "0");
    window->cbPriority->setCurrentIndex(2); // YieldInterval 5
    tick(*window, "Inbox");
    window->cbAction->setCurrentIndex(1);
    window->cbArchiveFolder->setCurrentIndex(window->cbArchiveFolder->count() - 1);
    const QString out = maildir->root() + "/out";
    window->txtDstFileSystemFolder->setText(out);

    const auto confirm = dialogs.inspect;
    dialogs.inspect = [&](QDialog& dialog) {
        if (auto* config = qobject_cast<dialogs::frmConfig*>(&dialog)) {
            config->txtMSGPattern->setText("late %su%");
            config->cmdOkay->click();
        }
        confirm(dialog);
    };
    bool openDuringRun = true;
    bool changed = false;
    test::YieldProbe probe([&] {
        if (!window->flags().TaskRunning)
            return;
        openDuringRun =
            openDuringRun && window->cbAction->isEnabled() && window->cmdConfig->isEnabled();
        // By the walk's place, not by the count: written files are counted
        // only when their set is made durable, after the whole walk here.
        const bool tenthItem =
            window->pbCurrent->maximum() == 40 && window->pbCurrent->value() >= 10;
        if (!changed && tenthItem) {
            changed = true;
            window->cbAction->setCurrentIndex(2); // Delete
            window->cmdConfig->click();
        }
    });
    window->cmdArchive->click();

    ASSERT_TRUE(changed);
    EXPECT_TRUE(openDuringRun);
    EXPECT_EQ(maildir->messageFiles("Inbox", "Personal Folders").size(), 40) << "still a copy";
    EXPECT_TRUE(window->lblAppStatus->text().startsWith("40 items copied."));
    const QStringList files = QDir(out + "/Inbox").entryList({"*.msg"}, QDir::Files);
    EXPECT_EQ(files.size(), 40);
    const qsizetype late = files.filter(QRegularExpression("^late M ")).size();
    EXPECT_GT(late, 0);
    EXPECT_LT(late, 40);
    EXPECT_EQ(settings->read("MSG", "Pattern", ""), "late %su%");
}
