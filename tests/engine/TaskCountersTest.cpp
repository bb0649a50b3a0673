#include "engine/TaskCounters.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace kestrel::engine;

namespace {

TaskCounters counters(qint64 processed, qint64 failed, qint64 size)
{
    TaskCounters c;
    c.ProcessedCount = processed;
    c.FailedCount = failed;
    c.TotalSize = size;
    return c;
}

} // namespace

TEST(TaskCounters, TotalsPastTwoGigabytesStayExact)
{
    QLocale::setDefault(QLocale::c());
    TaskCounters c;
    for (int i = 0; i < 3; ++i) {
        c.ProcessedCount += 1;
        c.TotalSize += 1'000'000'000;
    }
    EXPECT_EQ(ResultsText(c, 0, false), "3 items moved. Size: 2929.7 MB");
    c.ResetCounters();
    EXPECT_EQ(c.ProcessedCount, 0);
    EXPECT_EQ(c.TotalSize, 0);
}

TEST(TaskCounters, SizesAreNeverGroupedInAnyLocale)
{
    TaskCounters c = counters(3, 0, 3LL * 1073741824);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(ResultsText(c, 1, true), "3 items would be copied. Size: 3145.7 MB");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(ResultsText(c, 1, true), "3 items would be copied. Size: 3145,7 MB");
    QLocale::setDefault(QLocale::c());
}
