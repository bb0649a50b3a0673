#include "engine/ProgressPainter.h"

#include "RecordingView.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

using namespace kestrel;

TEST(ProgressPainter, ShowsTheLatestItemAtMostOncePerFrameAndAtEveryYield)
{
    test::RecordingView view;
    engine::ProgressPainter progress(view, 16);
    progress.setRange(100000);
    const int paintsBefore = view.repaints;
    QElapsedTimer timer;
    timer.start();
    const QString total = QStringLiteral("100000");
    for (int j = 1; j <= 100000; ++j) {
        progress.itemNumber(j, total);
        progress.itemsDone(QStringLiteral("Processed "), j);
    }
    const qint64 elapsed = timer.elapsed();
    EXPECT_LE(view.repaints - paintsBefore, elapsed / 16 + 1);

    // Whatever is pending is set and painted before the window's events run.
    int paintsAtYield = -1;
    view.onYield = [&](int) { paintsAtYield = view.repaints; };
    const int pending = view.repaints;
    progress.yield(3);
    EXPECT_EQ(paintsAtYield, pending + 1);
    EXPECT_EQ(view.yields, 3);
    EXPECT_EQ(view.actionText, QStringLiteral("Item 100000 of 100000"));
    EXPECT_EQ(view.progressValue, 100000);
    EXPECT_EQ(view.status, QStringLiteral("Processed 100000 item(s)..."));

    // A label shown at once is not overwritten by an item kept for the next frame.
    progress.itemNumber(7, total);
    progress.showAction(QString());
    progress.showValue(progress.maximum());
    progress.yield(1);
    EXPECT_EQ(view.actionText, QString());
    EXPECT_EQ(view.progressValue, 100000);
}

TEST(ProgressPainter, BarValuesFitAnIntForAnyFolderSize)
{
    EXPECT_EQ(engine::ProgressBarValue(7, 120), 7);
    const qint64 huge = 10'000'000'000LL;
    EXPECT_EQ(engine::ProgressBarValue(huge, huge), std::numeric_limits<int>::max());
    EXPECT_EQ(engine::ProgressBarValue(huge / 2, huge), std::numeric_limits<int>::max() / 2);
}
