#include "engine/DateFilter.h"

#include <gtest/gtest.h>

using namespace kestrel;
using platform::DateProperty;
using platform::DateRestriction;

// Each date base selects on its own property; the last one on any of the four.
// The range ends at the last second of the day, which the minute filter keeps.
TEST(DateFilter, EachDateBaseSelectsOnItsProperty)
{
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
    const QDateTime end(QDate(2020, 12, 31), QTime(23, 59, 59));
    const qint64 inside = QDateTime(QDate(2020, 12, 31), QTime(23, 59, 30)).toMSecsSinceEpoch();
    const qint64 outside = QDateTime(QDate(2021, 1, 1), QTime(0, 0)).toMSecsSinceEpoch();
    for (int base = engine::DateReceived; base <= engine::DateAny; ++base) {
        const std::optional<DateRestriction> filter =
            DateRestriction::parse(engine::BuildDateFilter(base, start, end), nullptr);
        ASSERT_TRUE(filter) << base;
        for (DateProperty inRange : platform::kDateProperties) {
            const bool selected = filter->matches([&](DateProperty p) -> std::optional<qint64> {
                return p == inRange ? inside : outside;
            });
            EXPECT_EQ(selected, base == engine::DateAny || int(inRange) == base)
                << base << " " << int(inRange);
        }
    }
    EXPECT_EQ(engine::OutlookDateTimeStr(end), "\"December 31, 2020 11:59 PM\"");
}
