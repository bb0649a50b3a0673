#include "dialogs/Notices.h"

#include "RecordingServices.h"
#include "dialogs/frmCompactInfo.h"
#include "dialogs/frmFirstWarning.h"
#include "shell/SettingsStore.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrel::dialogs;
using kestrel::test::RecordingDialogRunner;

TEST(FirstWarning, ShownUnlessTheSettingIsZeroAndThenSwitchedOff)
{
    for (const QString stored : {"<missing>", "1", "", "never", "0"}) {
        kestrel::test::TempDir dir;
        SettingsStore settings(dir.filePath("settings.ini"));
        if (stored != "<missing>")
            settings.write("Dialogs", "ShowFirstWarning", stored);
        RecordingDialogRunner runner;
        ShowFirstWarning(settings, runner, nullptr);
        const bool expected = stored != "0";
        EXPECT_EQ(runner.shown, expected ? QStringList{"frmFirstWarning"} : QStringList{})
            << stored.toStdString();
        EXPECT_EQ(settings.read("Dialogs", "ShowFirstWarning", "unset"), "0");

        // The next start does not show it.
        RecordingDialogRunner second;
        ShowFirstWarning(settings, second, nullptr);
        EXPECT_TRUE(second.shown.isEmpty());
    }
}

TEST(FirstWarning, TheWholeTextShowsAndOkayHidesTheWindow)
{
    frmFirstWarning warning;
    warning.show();
    // The wrapped text gets all the height it needs (it was once cut off).
    EXPECT_GE(warning.lblInfo->height(), warning.lblInfo->heightForWidth(warning.lblInfo->width()));
    warning.cmdOkay->click();
    EXPECT_TRUE(warning.isHidden());
    EXPECT_EQ(warning.result(), QDialog::Accepted);
}

namespace {

// Shows the real tip and clicks its box `clicks` times before Okay.
QStringList showTip(SettingsStore& settings, int clicks)
{
    RecordingDialogRunner runner;
    runner.inspect = [&](QDialog& dialog) {
        auto& tip = static_cast<frmCompactInfo&>(dialog);
        tip.show();
        for (int i = 0; i < clicks; ++i)
            QTest::mouseClick(tip.chkNoShow, Qt::LeftButton);
        QTest::mouseClick(tip.cmdOkay, Qt::LeftButton);
        EXPECT_TRUE(tip.isHidden());
    };
    ShowPerformanceTip(settings, runner, nullptr);
    return runner.shown;
}

} // namespace

TEST(PerformanceTip, SwitchedOffOnlyByOkayWithTheBoxTicked)
{
    kestrel::test::TempDir dir;
    SettingsStore settings(dir.filePath("settings.ini"));
    const QString key = "ShowPerformanceTip";

    EXPECT_EQ(showTip(settings, 0), QStringList{"frmCompactInfo"});
    EXPECT_EQ(settings.read("Dialogs", key, "unset"), "unset") << "unticked: left alone";
    EXPECT_EQ(showTip(settings, 2), QStringList{"frmCompactInfo"});
    EXPECT_EQ(settings.read("Dialogs", key, "unset"), "unset") << "ticked and unticked";
    EXPECT_EQ(showTip(settings, 1), QStringList{"frmCompactInfo"});
    EXPECT_EQ(settings.read("Dialogs", key, "unset"), "0");
    EXPECT_TRUE(showTip(settings, 0).isEmpty()) << "not shown again";

    for (const QString stored : {"1", "", "no"}) {
        settings.write("Dialogs", key, stored);
        EXPECT_EQ(showTip(settings, 0), QStringList{"frmCompactInfo"}) << stored.toStdString();
        EXPECT_EQ(settings.read("Dialogs", key, "unset"), stored);
    }
}

// The texts stack without overlap and the wrapped one is not cut off.
TEST(PerformanceTip, TextsStackFromTopToBottomUncut)
{
    frmCompactInfo tip;
    tip.show();
    int previousBottom = -1;
    for (QWidget* control :
         std::initializer_list<QWidget*>{tip.Label1, tip.lblInfo, tip.Label2, tip.Label3,
                                         tip.Label4, tip.Label5, tip.chkNoShow}) {
        const int top = control->mapTo(&tip, QPoint(0, 0)).y();
        EXPECT_GE(top, previousBottom) << control->objectName().toStdString();
        previousBottom = top + control->height();
    }
    EXPECT_LE(previousBottom, tip.cmdOkay->mapTo(&tip, QPoint(0, 0)).y());
    EXPECT_GE(tip.lblInfo->height(), tip.lblInfo->heightForWidth(tip.lblInfo->width()));
}
