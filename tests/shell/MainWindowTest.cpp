#include "ShellFixture.h"
#include "dialogs/BorderShape.h"
#include "dialogs/WindowDragger.h"
#include "folders/FolderTreeView.h"
#include "shell/ImageList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using kestrel::test::ShellFixture;

using MainWindow = ShellFixture;

namespace {

struct Expected {
    const char* name;
    const char* group; // "" for the window itself
    const char* caption;
    const char* tip;
};

QString captionOf(QObject* control)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* box = qobject_cast<QGroupBox*>(control))
        return box->title();
    return {};
}

QString groupOf(QWidget* control)
{
    for (QWidget* up = control->parentWidget(); up; up = up->parentWidget()) {
        if (qobject_cast<QGroupBox*>(up))
            return up->objectName();
    }
    return {};
}

} // namespace

TEST_F(MainWindow, EveryControlHasItsNameGroupCaptionAndTooltip)
{
    auto window = start();
    const Expected controls[] = {
        {"GroupBox4", "", "Source", ""},
        {"cbTopFolder", "GroupBox4", "", ""},
        {"txtSrcFileSystemFolder", "GroupBox4", "", ""},
        {"cmdPickSrcFileSystemFolder", "GroupBox4", "...", ""},
        {"Label13", "GroupBox4", "Folder", ""},
        {"GroupBox2", "", "Destination", ""},
        {"cbArchiveFolder", "GroupBox2", "", ""},
        {"txtDstFileSystemFolder", "GroupBox2", "", ""},
        {"cmdPickDstFileSystemFolder", "GroupBox2", "...", ""},
        {"Label12", "GroupBox2", "Folder", ""},
        {"GroupBox1", "", "Select Folders To Archive", ""},
        {"tvFolders", "GroupBox1", "", ""},
        {"cmdSelectAll", "GroupBox1", "&All", "Select all folders"},
        {"cmdSelectNone", "GroupBox1", "&None", "Clears current selection"},
        {"cmdSelectInvert", "GroupBox1", "&Invert", "Invert the current selection"},
        {"fraArchive", "", "Filter Settings", ""},
        {"Label2", "fraArchive", "Filter On", ""},
        {"cbDateBase", "fraArchive", "", ""},
        {"Label3", "fraArchive", "Between", ""},
        {"dtStart", "fraArchive", "", ""},
        {"Label4", "fraArchive", "and", ""},
        {"dtEnd", "fraArchive", "", ""},
        {"chkIncludeUnread", "fraArchive", "Include Unopened messages", ""},
        {"chkNoAging", "fraArchive", "Respect \"No Archive\" Flag", ""},
        {"GroupBox3", "", "Task Settings", ""},
        {"Label8", "GroupBox3", "Task", ""},
        {"cbAction", "GroupBox3", "", ""},
        {"imgAction", "GroupBox3", "", ""},
        {"Label10", "GroupBox3", "Task Priority", ""},
        {"cbPriority", "GroupBox3", "", ""},
        {"cmdConfig", "GroupBox3", "Configure", ""},
        {"fraProgress", "", "Progress", ""},
        {"Label5", "fraProgress", "Folder :", ""},
        {"lblCurrentFolder", "fraProgress", "Waiting...", ""},
        {"Label6", "fraProgress", "Action :", ""},
        {"lblCurrentAction", "fraProgress", "Waiting...", ""},
        {"pbCurrent", "fraProgress", "", ""},
        {"cmdArchive", "", "&Start", "Start the archive task"},
        {"cmdPreview", "", "&Preview", "Preview what would happen"},
        {"cmdQuit", "", "&Quit", ""},
        {"cmdMinimize", "", "Minimize", ""},
        {"imgLEDIdle", "", "", ""},
        {"imgLEDBusy", "", "", ""},
        {"imgAppName", "", "", ""},
        {"lblVer", "", "V.1.0.0", ""},
        {"Label9", "", "kestrel-mailkeep.example", ""},
        {"shaBorder", "", "", ""},
    };
    for (const Expected& expected : controls) {
        auto* control = window->findChild<QWidget*>(expected.name);
        ASSERT_NE(control, nullptr) << expected.name;
        EXPECT_EQ(groupOf(control), expected.group) << expected.name;
        if (*expected.caption) {
            EXPECT_EQ(captionOf(control), expected.caption) << expected.name;
        }
        EXPECT_EQ(control->toolTip(), expected.tip) << expected.name;
    }
    EXPECT_NE(window->findChild<QFileDialog*>("cmdDialog"), nullptr);
    EXPECT_FALSE(window->cmdDialog->isVisible());
    auto* checkBoxes = window->findChild<kestrel::shell::ImageList*>("imgCheckBoxes");
    ASSERT_NE(checkBoxes, nullptr);
    EXPECT_EQ(checkBoxes->count(), 2);
    EXPECT_NE(checkBoxes->image(1).toImage(), checkBoxes->image(2).toImage());
    EXPECT_TRUE(window->dtStart->calendarPopup());
    EXPECT_FALSE(window->imgAppName->pixmap().isNull());

    // Controls are laid out in the order of the list: groups top to bottom, left to right.
    auto top = [&](QWidget* w) { return w->mapTo(window.get(), QPoint()).y(); };
    auto left = [&](QWidget* w) { return w->mapTo(window.get(), QPoint()).x(); };
    EXPECT_LT(left(window->GroupBox4), left(window->GroupBox2));
    EXPECT_LT(top(window->GroupBox2), top(window->GroupBox1));
    EXPECT_LT(left(window->GroupBox1), left(window->fraArchive));
    EXPECT_LT(top(window->fraArchive), top(window->GroupBox3));
    EXPECT_LT(top(window->GroupBox3), top(window->fraProgress));
    EXPECT_LT(top(window->fraProgress), top(window->cmdArchive));
    EXPECT_LT(left(window->cmdArchive), left(window->cmdPreview));
    EXPECT_LT(left(window->cmdPreview), left(window->cmdQuit));
}

TEST_F(MainWindow, ChromeDragsMinimisesAndOpensTheProductPage)
{
    auto window = start();
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    const QString family = window->font().family();
    EXPECT_TRUE(family == "Tahoma" || family == "DejaVu Sans") << family.toStdString();
    EXPECT_EQ(window->shaBorder->shapeRect(),
              QRect(1, 1, window->width() - window->shaBorder->borderWidth() + 1,
                    window->height() - window->shaBorder->borderWidth() + 1));

    EXPECT_EQ(window->Label9->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(window->Label9, Qt::LeftButton);
    EXPECT_EQ(openedUrls, QList<QUrl>{QUrl("https://kestrel-mailkeep.example/")});

    // Background, title picture and status line start a drag with the left button only.
    const QPoint start = window->pos();
    for (QWidget* handle :
         {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(window->imgAppName),
          static_cast<QWidget*>(window->lblAppStatus)}) {
        QTest::mousePress(handle, Qt::RightButton, {}, QPoint(2, 2));
        QTest::mouseRelease(handle, Qt::RightButton, {}, QPoint(2, 2));
    }
    EXPECT_EQ(window->dragger()->dragCount(), 0);
    EXPECT_EQ(window->pos(), start);
    for (QWidget* handle :
         {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(window->imgAppName),
          static_cast<QWidget*>(window->lblAppStatus)}) {
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(2, 2));
    }
    EXPECT_EQ(window->dragger()->dragCount(), 3);

    window->cmdMinimize->click();
    EXPECT_TRUE(window->isMinimized());
    EXPECT_FALSE(window->isUnloaded());
}
