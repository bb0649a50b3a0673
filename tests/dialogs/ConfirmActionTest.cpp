#include "dialogs/ConfirmAction.h"

#include "RecordingServices.h"
#include "dialogs/SvgPicture.h"
#include "dialogs/frmConfirm.h"
#include "shell/SettingsStore.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrel::dialogs;
using kestrel::test::RecordingDialogRunner;
using kestrel::test::TempDir;

namespace {

enum class Answer { Confirm, Cancel, Escape };

// What the user saw in the confirmation.
struct Seen {
    QString action;
    QString source;
    QString destination;
    bool checkBoxShown = false;
    bool checkBoxTicked = false;
    QImage picture;
};

// Shows the real dialog, lets the "user" tick the box or not and answer.
class ConfirmUser {
public:
    ConfirmUser(Answer answer, bool tick) : m_answer(answer), m_tick(tick)
    {
        runner.inspect = [this](QDialog& dialog) { act(static_cast<frmConfirm&>(dialog)); };
    }

    RecordingDialogRunner runner;
    Seen seen;

private:
    void act(frmConfirm& dialog)
    {
        dialog.show();
        seen.action = dialog.lblAction->text();
        seen.source = dialog.lblSource->text();
        seen.destination = dialog.lblDestination->text();
        seen.checkBoxShown = dialog.chkDoNotShow->isVisible();
        seen.checkBoxTicked = dialog.chkDoNotShow->isChecked();
        seen.picture = dialog.imgAction->pixmap().toImage();
        if (m_tick && seen.checkBoxShown)
            QTest::mouseClick(dialog.chkDoNotShow, Qt::LeftButton);
        switch (m_answer) {
        case Answer::Confirm:
            QTest::mouseClick(dialog.cmdConfirm, Qt::LeftButton);
            break;
        case Answer::Cancel:
            QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
            break;
        case Answer::Escape:
            QTest::keyClick(&dialog, Qt::Key_Escape);
            break;
        }
        EXPECT_TRUE(dialog.isHidden()) << "both answers hide the dialog";
    }

    Answer m_answer;
    bool m_tick;
};

ConfirmRequest storeRun(int action, bool preview = false)
{
    ConfirmRequest request;
    request.action = action;
    request.previewMode = preview;
    request.sourceRootName = QStringLiteral("Personal Folders");
    request.archiveRootName = QStringLiteral("Archive");
    return request;
}

QImage actionPicture(const char* name)
{
    return svgPicture(QStringLiteral(":/dialogs/action-%1.svg").arg(QLatin1String(name)),
                      QSize(48, 48))
        .toImage();
}

const QString kDialogs = QStringLiteral("Dialogs");
const QString kKey = QStringLiteral("ShowConfirmation");

} // namespace

TEST(ConfirmAction, FirstMoveAsksWithTheBoxUntickedAndTickingItStopsTheNextRuns)
{
    TempDir dir;
    SettingsStore settings(dir.filePath("settings.ini"));
    ConfirmUser user(Answer::Confirm, true);
    EXPECT_TRUE(ConfirmAction(storeRun(0), settings, false, user.runner, nullptr));
    EXPECT_EQ(user.runner.shown, QStringList{"frmConfirm"});
    EXPECT_EQ(user.seen.action, "MOVE MATCHING MESSAGES");
    EXPECT_EQ(user.seen.source, "Personal Folders");
    EXPECT_EQ(user.seen.destination, "Archive");
    EXPECT_TRUE(user.seen.checkBoxShown);
    EXPECT_FALSE(user.seen.checkBoxTicked);
    EXPECT_EQ(user.seen.picture, actionPicture("move"));
    EXPECT_EQ(settings.read(kDialogs, kKey, "unset"), "0");

    // Later move and copy runs go on without asking, and write nothing.
    for (int action : {0, 1}) {
        RecordingDialogRunner quiet;
        EXPECT_TRUE(ConfirmAction(storeRun(action, action == 1), settings, false, quiet, nullptr));
        EXPECT_TRUE(quiet.shown.isEmpty());
    }
    EXPECT_EQ(settings.read(kDialogs, kKey, "unset"), "0");
}

TEST(ConfirmAction, ControlKeyBringsItBackAndAnUntickedBoxSwitchesItOnAgain)
{
    TempDir dir;
    SettingsStore settings(dir.filePath("settings.ini"));
    settings.write(kDialogs, kKey, "0");

    ConfirmUser user(Answer::Confirm, false);
    EXPECT_TRUE(ConfirmAction(storeRun(1), settings, true, user.runner, nullptr));
    EXPECT_EQ(user.runner.shown, QStringList{"frmConfirm"});
    EXPECT_FALSE(user.seen.checkBoxTicked) << "the box starts unticked on every showing";
    EXPECT_EQ(user.seen.action, "COPY MATCHING MESSAGES");
    EXPECT_EQ(user.seen.picture, actionPicture("copy"));
    EXPECT_EQ(settings.read(kDialogs, kKey, "unset"), "1");

    // Shown again without the key, and switched off again with the box.
    ConfirmUser again(Answer::Cancel, true);
    EXPECT_FALSE(ConfirmAction(storeRun(0), settings, false, again.runner, nullptr));
    EXPECT_EQ(again.runner.shown, QStringList{"frmConfirm"});
    EXPECT_EQ(settings.read(kDialogs, kKey, "unset"), "0");

    // Control held while the setting is "0", then ticked again: stays "0".
    ConfirmUser ticked(Answer::Confirm, true);
    EXPECT_TRUE(ConfirmAction(storeRun(0), settings, true, ticked.runner, nullptr));
    EXPECT_EQ(ticked.runner.shown, QStringList{"frmConfirm"});
    EXPECT_EQ(settings.read(kDialogs, kKey, "unset"), "0");
}

TEST(ConfirmAction, DeleteRunsAlwaysAskWithoutTheBoxAndLeaveTheSettingAlone)
{
    for (const QString stored : {"<missing>", "0", "1", "off"}) {
        for (Answer answer : {Answer::Confirm, Answer::Cancel}) {
            for (bool preview : {false, true}) {
                TempDir dir;
                SettingsStore settings(dir.filePath("settings.ini"));
                if (stored != "<missing>")
                    settings.write(kDialogs, kKey, stored);
                ConfirmUser user(answer, true);
                EXPECT_EQ(
                    ConfirmAction(storeRun(2, preview), settings, false, user.runner, nullptr),
                    answer == Answer::Confirm);
                EXPECT_EQ(user.runner.shown, QStringList{"frmConfirm"}) << stored.toStdString();
                EXPECT_FALSE(user.seen.checkBoxShown);
                EXPECT_EQ(user.seen.action, preview ? "PREVIEW DELETE MATCHING MESSAGES"
                                                    : "DELETE MATCHING MESSAGES");
                EXPECT_EQ(user.seen.picture, actionPicture("delete"));
                EXPECT_EQ(settings.read(kDialogs, kKey, "unset"),
                          stored == "<missing>" ? "unset" : stored);
            }
        }
    }
}

TEST(ConfirmAction, CancelGoesNoFurtherButTheBoxIsStillStored)
{
    for (int action : {0, 1}) {
        for (bool tick : {false, true}) {
            TempDir dir;
            SettingsStore settings(dir.filePath("settings.ini"));
            ConfirmUser user(Answer::Cancel, tick);
            EXPECT_FALSE(ConfirmAction(storeRun(action), settings, false, user.runner, nullptr));
            EXPECT_EQ(settings.read(kDialogs, kKey, "unset"), tick ? "0" : "1");
        }
    }
    // Escape (or closing the window) is a Cancel too.
    TempDir dir;
    SettingsStore settings(dir.filePath("settings.ini"));
    ConfirmUser user(Answer::Escape, false);
    EXPECT_FALSE(ConfirmAction(storeRun(0), settings, false, user.runner, nullptr));
    EXPECT_EQ(settings.read(kDialogs, kKey, "unset"), "1");
}

TEST(ConfirmAction, PreviewOfACopyFromADiskFolderNamesTheTypedFolderAndTheStore)
{
    TempDir dir;
    SettingsStore settings(dir.filePath("settings.ini"));
    ConfirmRequest request = storeRun(1, true);
    request.sourceIsDisk = true;
    request.sourceDiskFolder = QStringLiteral(" /home/ann/Saved mail ");
    request.sourceRootName.reset(); // no store is the source
    ConfirmUser user(Answer::Confirm, false);
    EXPECT_TRUE(ConfirmAction(request, settings, false, user.runner, nullptr));
    EXPECT_EQ(user.seen.action, "PREVIEW COPY MATCHING MESSAGES");
    EXPECT_EQ(user.seen.source, " /home/ann/Saved mail ") << "as typed, blanks included";
    EXPECT_EQ(user.seen.destination, "Archive");

    // A disk destination shows its path; names that cannot be read keep the
    // frames' designed texts.
    ConfirmRequest toDisk = storeRun(0, true);
    toDisk.destinationIsDisk = true;
    toDisk.destinationPath = QStringLiteral("/srv/archive/");
    toDisk.sourceRootName.reset();
    ConfirmUser second(Answer::Confirm, false);
    EXPECT_TRUE(ConfirmAction(toDisk, settings, false, second.runner, nullptr));
    EXPECT_EQ(second.seen.action, "PREVIEW MOVE MATCHING MESSAGES");
    EXPECT_EQ(second.seen.source, "Source");
    EXPECT_EQ(second.seen.destination, "/srv/archive/");

    ConfirmRequest unnamed = storeRun(0);
    unnamed.archiveRootName.reset();
    ConfirmUser third(Answer::Confirm, false);
    EXPECT_TRUE(ConfirmAction(unnamed, settings, false, third.runner, nullptr));
    EXPECT_EQ(third.seen.destination, "Destination");
}

TEST(ConfirmAction, OnlyTheTextOneShowsTheDialog)
{
    for (const QString stored : {"1", "0", "", "yes", "true", " 1", "01"}) {
        TempDir dir;
        SettingsStore settings(dir.filePath("settings.ini"));
        settings.write(kDialogs, kKey, stored);
        ConfirmUser user(Answer::Confirm, false);
        EXPECT_TRUE(ConfirmAction(storeRun(0), settings, false, user.runner, nullptr));
        EXPECT_EQ(user.runner.shown.size(), stored == "1" ? 1 : 0) << stored.toStdString();
        EXPECT_EQ(settings.read(kDialogs, kKey, "unset"), stored == "1" ? "1" : stored)
            << "nothing is written when the dialog is not shown";
    }
}
