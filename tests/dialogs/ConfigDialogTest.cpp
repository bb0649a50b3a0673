#include "RecordingServices.h"
#include "dialogs/ShowConfig.h"
#include "dialogs/frmConfig.h"
#include "shell/SettingsStore.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrel::dialogs;
using kestrel::test::RecordingDialogRunner;
using kestrel::test::TempDir;

namespace {

const QString kMsg = QStringLiteral("MSG");
const QString kPattern = QStringLiteral("Pattern");

// Shows the real dialog, types `typed` over the box (unless null) and leaves
// with Okay, Cancel or Escape. Returns what the box showed at first.
QString editPattern(SettingsStore& settings, const QString& typed, const char* leaveWith)
{
    RecordingDialogRunner runner;
    QString shown;
    runner.inspect = [&](QDialog& dialog) {
        auto& config = static_cast<frmConfig&>(dialog);
        config.show();
        shown = config.txtMSGPattern->text();
        if (!typed.isNull()) {
            config.txtMSGPattern->selectAll();
            QTest::keyClick(config.txtMSGPattern, Qt::Key_Delete);
            QTest::keyClicks(config.txtMSGPattern, typed);
        }
        const QByteArray leave(leaveWith);
        if (leave == "okay")
            QTest::mouseClick(config.cmdOkay, Qt::LeftButton);
        else if (leave == "cancel")
            QTest::mouseClick(config.cmdCancel, Qt::LeftButton);
        else
            QTest::keyClick(&config, Qt::Key_Escape);
        EXPECT_TRUE(config.isHidden());
    };
    ShowConfig(settings, runner, nullptr);
    EXPECT_EQ(runner.shown, QStringList{"frmConfig"});
    return shown;
}

} // namespace

TEST(ShowConfig, OkayStoresTheTrimmedPatternEmptyIncludedAndCancelStoresNothing)
{
    TempDir dir;
    SettingsStore settings(dir.filePath("settings.ini"));

    // First opening: the default pattern, stored as it is by Okay.
    EXPECT_EQ(editPattern(settings, QString(), "okay"), "%ct% %su%");
    EXPECT_EQ(settings.read(kMsg, kPattern, "unset"), "%ct% %su%");

    EXPECT_EQ(editPattern(settings, "   %su%  ", "okay"), "%ct% %su%");
    EXPECT_EQ(settings.read(kMsg, kPattern, "unset"), "%su%");

    // Cancel and Escape leave the stored pattern alone.
    EXPECT_EQ(editPattern(settings, "%rt% %fm%", "cancel"), "%su%");
    EXPECT_EQ(editPattern(settings, "%rt% %fm%", "escape"), "%su%");
    EXPECT_EQ(settings.read(kMsg, kPattern, "unset"), "%su%");

    // Cleared box: stored as empty, not as the default.
    EXPECT_EQ(editPattern(settings, "", "okay"), "%su%");
    EXPECT_EQ(settings.read(kMsg, kPattern, "unset"), "");
    EXPECT_EQ(editPattern(settings, "    ", "okay"), "");
    EXPECT_EQ(settings.read(kMsg, kPattern, "unset"), "");

    // No validation: anything a file name cannot hold is stored too.
    EXPECT_EQ(editPattern(settings, "%zz% a/b:c", "okay"), "");
    EXPECT_EQ(settings.read(kMsg, kPattern, "unset"), "%zz% a/b:c");
}

TEST(frmConfig, OnlyBlanksAreTrimmedAndTheTokenHelpFits)
{
    frmConfig dialog;
    EXPECT_EQ(expandPatternHelp("a\\tb\\nc"), "a    b\nc");

    // Only blanks are trimmed; the text itself is kept as typed.
    dialog.setMSGPattern("  %ct%\t%su%  ");
    EXPECT_EQ(dialog.MSGPattern(), "%ct%\t%su%");
    dialog.setMSGPattern("   ");
    EXPECT_EQ(dialog.MSGPattern(), "");

    dialog.show();
    EXPECT_GE(dialog.lblPatternHelp->height(), dialog.lblPatternHelp->sizeHint().height())
        << "all eight lines fit";
}
