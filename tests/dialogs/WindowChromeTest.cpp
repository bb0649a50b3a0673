#include "dialogs/WindowChrome.h"

#include "dialogs/BorderShape.h"
#include "dialogs/WebLink.h"
#include "dialogs/WindowDragger.h"

#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kestrel::dialogs;

TEST(WindowChrome, CaptionTokenIsReplacedEverywhereButOnlyInItsExactCase)
{
    EXPECT_EQ(replaceCaptionToken("{APP}"), "Kestrel Mailkeep");
    EXPECT_EQ(replaceCaptionToken("{APP} and {APP}"), "Kestrel Mailkeep and Kestrel Mailkeep");
    EXPECT_EQ(replaceCaptionToken(" {APP} : Confirm"), " Kestrel Mailkeep : Confirm");
    EXPECT_EQ(replaceCaptionToken("{app}"), "{app}");
    EXPECT_EQ(replaceCaptionToken("No token"), "No token");

    QWidget window;
    window.setWindowTitle(" {APP}");
    SetFormCaption(window);
    EXPECT_EQ(window.windowTitle(), " Kestrel Mailkeep");
}

TEST(WindowChrome, BorderIsFittedToTheWindowAsItIsWhenLoaded)
{
    // 6000 x 4500 twips at 15 twips a pixel, border 2 pixels wide.
    const QRect rect = borderRect(QSize(400, 300), 2);
    EXPECT_EQ(QRect(rect.x() * 15, rect.y() * 15, rect.width() * 15, rect.height() * 15),
              QRect(15, 15, 5985, 4485));

    QWidget window;
    window.resize(400, 300);
    auto* shape = new BorderShape(&window, 3);
    applyWindowChrome(window);
    EXPECT_EQ(shape->shapeRect(), QRect(1, 1, 398, 298));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    const QString family = window.font().family();
    EXPECT_TRUE(family == "Tahoma" || family == "DejaVu Sans") << family.toStdString();

    window.resize(500, 500); // not refitted
    EXPECT_EQ(shape->shapeRect(), QRect(1, 1, 398, 298));

    QWidget bare; // no shaBorder: nothing to fit, nothing breaks
    bare.resize(200, 100);
    PositionBorder(bare);
    EXPECT_TRUE(bare.findChildren<QWidget*>().isEmpty());
}

TEST(WindowChrome, OnlyTheLeftButtonDragsTheWindow)
{
    QWidget window;
    window.resize(300, 200);
    auto* title = new QLabel("title", &window);
    title->setGeometry(10, 10, 120, 30);
    WindowDragger dragger(window);
    dragger.watch(*title);
    window.move(100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();

    QTest::mousePress(title, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseMove(title, QPoint(45, 35));
    QTest::mouseRelease(title, Qt::RightButton, {}, QPoint(45, 35));
    EXPECT_EQ(window.pos(), start);
    EXPECT_EQ(dragger.dragCount(), 0);

    QTest::mousePress(title, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(dragger.dragCount(), 1);
    QTest::mouseMove(title, QPoint(45, 35));
    QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(45, 35));
    // Where the window system cannot move it (offscreen), the window follows.
    EXPECT_EQ(window.pos(), start + QPoint(40, 30));
}

TEST(WindowChrome, LinkShowsTheHandAndOpensTheProductPageOnALeftClick)
{
    QWidget window;
    auto* link = new QLabel(kProductWebName, &window);
    QList<QUrl> opened;
    new WebLink(*link, QUrl(kProductUrl), [&](const QUrl& url) { opened.append(url); });
    window.show();
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseClick(link, Qt::RightButton);
    EXPECT_TRUE(opened.isEmpty());
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), QUrl("https://kestrel-mailkeep.example/"));
}
