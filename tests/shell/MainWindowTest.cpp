#include "ShellFixture.h"
#include "dialogs/BorderShape.h"
#include "dialogs/WindowDragger.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using kestrel::test::ShellFixture;

using MainWindow = ShellFixture;

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
