#include "engine/DateFilter.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace kestrel::engine;

TEST(DateFilter, LiteralIsEnglishTwelveHourWithoutSeconds)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(OutlookDateTimeStr(QDateTime(QDate(2009, 1, 5), QTime(14, 7, 33))),
              "\"January 05, 2009 02:07 PM\"");
    EXPECT_EQ(OutlookDateTimeStr(QDateTime(QDate(1900, 1, 1), QTime(0, 0))),
              "\"January 01, 1900 12:00 AM\"");
    EXPECT_EQ(OutlookDateTimeStr(QDateTime(QDate(2025, 12, 31), QTime(23, 59, 59))),
              "\"December 31, 2025 11:59 PM\"");
    EXPECT_EQ(OutlookDateTimeStr(QDateTime(QDate(2025, 3, 2), QTime(12, 30))),
              "\"March 02, 2025 12:30 PM\"");
    QLocale::setDefault(QLocale::c());
}
