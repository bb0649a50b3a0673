#include "dialogs/Notices.h"

#include "RecordingServices.h"
#include "dialogs/frmCompactInfo.h"
#include "dialogs/frmFirstWarning.h"
#include "dialogs/frmNoArchiveWarning.h"
#include "dialogs/frmPictures.h"
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

TEST(FirstWarning, TextsShowTwoParagraphsAndOkayHidesTheWindow)
{
    frmFirstWarning warning;
    EXPECT_EQ(warning.Label1->text(), "ATTENTION");
    EXPECT_EQ(warning.Label2->text(), "Always Backup Your PST Files");
    EXPECT_TRUE(warning.Label2->font().bold());
    EXPECT_EQ(warning.lblInfo->text(),
              "This software is designed to modify your Microsoft Outlook PST files. PST files "
              "contain vital information such as your email messages, contacts, and appointments "
              "etc.\n\nIn the unlikely event of data corruption you should always have a backup "
              "of all your PST files to fall back on.");
    EXPECT_EQ(warning.cmdOkay->text(), "&Okay");
    EXPECT_FALSE(warning.Image1->pixmap().isNull());
    EXPECT_NE(warning.findChild<QWidget*>("shaBorder"), nullptr);

    warning.show();
    // The wrapped text gets all the height it needs (it was once cut off).
    EXPECT_GE(warning.lblInfo->height(), warning.lblInfo->heightForWidth(warning.lblInfo->width()));
    warning.cmdOkay->click();
    EXPECT_TRUE(warning.isHidden());
    EXPECT_EQ(warning.result(), QDialog::Accepted);
}

TEST(NoArchiveWarning, CaptionAndStepsAsWritten)
{
    kestrel::test::TempDir dir;
    RecordingDialogRunner runner;
    QString caption;
    QStringList texts;
    runner.inspect = [&](QDialog& dialog) {
        caption = dialog.windowTitle();
        auto& warning = static_cast<frmNoArchiveWarning&>(dialog);
        for (QLabel* label : {warning.lblText, warning.Label1, warning.Label2, warning.Label3,
                              warning.Label4, warning.Label5})
            texts.append(label->text());
        texts.append(warning.cmdOkay->text());
    };
    ShowNoArchiveWarning(runner, nullptr);
    EXPECT_EQ(runner.shown, QStringList{"frmNoArchiveWarning"});
    EXPECT_EQ(caption, " Kestrel Mailkeep");
    EXPECT_EQ(texts, (QStringList{
                         "You have only one PST file configured in Outlook. To archive your mail "
                         "you need a second PST file to which your mail can be moved. Please close "
                         "this application and perform the following steps in Outlook:",
                         "Select File->New->Outlook Data File",
                         "Select Outlook Personal Folders File",
                         "Choose a filename and a location for your PST",
                         "Click \"Okay\"",
                         "Alternatively you can elect to archive your messages in .MSG format to "
                         "a disk folder.",
                         "Okay",
                     }));
}

TEST(frmPictures, HoldsThreeDistinctActionPictures)
{
    frmPictures pictures;
    const QImage move = pictures.imgMove->pixmap().toImage();
    const QImage copy = pictures.imgCopy->pixmap().toImage();
    const QImage remove = pictures.imgDelete->pixmap().toImage();
    ASSERT_FALSE(move.isNull());
    ASSERT_FALSE(copy.isNull());
    ASSERT_FALSE(remove.isNull());
    EXPECT_NE(move, copy);
    EXPECT_NE(copy, remove);
    EXPECT_EQ(pictures.actionPicture(2).toImage(), remove);
    EXPECT_TRUE(pictures.actionPicture(3).isNull());
    EXPECT_TRUE(pictures.actionPicture(-1).isNull());
    EXPECT_FALSE(pictures.isVisible());
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

TEST(PerformanceTip, TextsFromTopToBottom)
{
    frmCompactInfo tip;
    QStringList texts;
    for (QLabel* label : {tip.Label1, tip.lblInfo, tip.Label2, tip.Label3, tip.Label4, tip.Label5})
        texts.append(label->text());
    texts.append(tip.chkNoShow->text());
    texts.append(tip.cmdOkay->text());
    EXPECT_EQ(texts, (QStringList{
                         "PERFORMANCE TIP",
                         "In order to maximise the performance of Outlook you should now compact "
                         "your PST file. To do this in Outlook:",
                         "Select File->Data File management...",
                         "Select a data file",
                         "Click Settings...",
                         "Click Compact Now",
                         " Do not show this message again.",
                         "&Okay",
                     }));
    EXPECT_FALSE(tip.IsNoShow());
    EXPECT_FALSE(tip.Image1->pixmap().isNull());
    EXPECT_NE(tip.findChild<QWidget*>("shaBorder"), nullptr);
    EXPECT_EQ(tip.Label1->palette().color(QPalette::WindowText), QColor(43, 111, 201));

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
