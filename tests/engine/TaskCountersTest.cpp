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

TEST(TaskCounters, SizesAreNeverGroupedInAnyLocale)
{
    TaskCounters c = counters(3, 0, 3LL * 1073741824);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(ResultsText(c, 1, true), "3 items would be copied. Size: 3145.7 MB");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(ResultsText(c, 1, true), "3 items would be copied. Size: 3145,7 MB");
    QLocale::setDefault(QLocale::c());
}
