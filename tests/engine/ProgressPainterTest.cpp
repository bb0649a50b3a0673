#include "engine/ProgressPainter.h"

#include "RecordingView.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

using namespace kestrel;

TEST(ProgressPainter, SetsEveryItemButPaintsAtMostOncePerFrameAndAtEveryYield)
{
    test::RecordingView view;
    engine::ProgressPainter progress(view, 16);
    progress.setRange(100000);
    const int paintsBefore = view.repaints;
    QElapsedTimer timer;
    timer.start();
    for (int j = 1; j <= 100000; ++j) {
        progress.itemAction(QStringLiteral("Item %1 of 100000").arg(j), j);
        progress.itemStatus(QStringLiteral("Processed %1 item(s)...").arg(j));
    }
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(view.actionText, QStringLiteral("Item 100000 of 100000"));
    EXPECT_EQ(view.progressValue, 100000);
    EXPECT_EQ(view.status, QStringLiteral("Processed 100000 item(s)..."));
    EXPECT_LE(view.repaints - paintsBefore, elapsed / 16 + 1);

    // Whatever is pending is painted before the window's events run.
    progress.itemAction(QStringLiteral("last"), 1);
    int paintsAtYield = -1;
    view.onYield = [&](int) { paintsAtYield = view.repaints; };
    const int pending = view.repaints;
    progress.yield(3);
    EXPECT_EQ(paintsAtYield, pending + 1);
    EXPECT_EQ(view.yields, 3);
}

TEST(ProgressPainter, BarValuesFitAnIntForAnyFolderSize)
{
    EXPECT_EQ(engine::ProgressBarValue(7, 120), 7);
    const qint64 huge = 10'000'000'000LL;
    EXPECT_EQ(engine::ProgressBarValue(huge, huge), std::numeric_limits<int>::max());
    EXPECT_EQ(engine::ProgressBarValue(huge / 2, huge), std::numeric_limits<int>::max() / 2);
}
