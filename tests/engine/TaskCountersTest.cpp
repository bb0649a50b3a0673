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

TEST(TaskCounters, SummaryLines)
{
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(ResultsText(counters(1, 0, 800), 0, false), "1 item moved. Size: 0.8 KB");
    EXPECT_EQ(ResultsText(counters(5, 0, 1024000), 0, false), "5 items moved. Size: 1.0 MB");
    EXPECT_EQ(ResultsText(counters(5, 0, 1023999), 0, false), "5 items moved. Size: 1000.0 KB");
    EXPECT_EQ(ResultsText(counters(2, 0, 0), 1, false), "2 items copied. Size: 0.0 KB");
    EXPECT_EQ(ResultsText(counters(0, 1, 0), 1, true),
              "0 items would be copied. 1 item not be processed.");
    EXPECT_EQ(ResultsText(counters(0, 2, 0), 2, false),
              "0 items deleted. 2 items not be processed.");
    EXPECT_EQ(ResultsText(counters(3, 1, 46285), 1, true),
              "3 items would be copied. 1 item not be processed. Size: 45.2 KB");
    EXPECT_EQ(ResultsText(counters(12, 0, 1536000), 0, false), "12 items moved. Size: 1.5 MB");
    EXPECT_EQ(GetActionCount(counters(4, 0, 0), 7, false), "4 items");
}

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
