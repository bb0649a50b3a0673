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

TEST(DateFilter, FilterTextsForEveryDateBase)
{
    const QDateTime start(QDate(2020, 1, 1), QTime(0, 0));
    const QDateTime end(QDate(2020, 12, 31), QTime(23, 59, 59));
    const QString s = "\"January 01, 2020 12:00 AM\"";
    const QString e = "\"December 31, 2020 11:59 PM\"";
    EXPECT_EQ(BuildDateFilter(0, start, end),
              "[ReceivedTime] >= " + s + " and [ReceivedTime] <= " + e);
    EXPECT_EQ(BuildDateFilter(1, start, end), "[SentOn] >= " + s + " and [SentOn] <= " + e);
    EXPECT_EQ(BuildDateFilter(2, start, end),
              "[LastModificationTime] >= " + s + " and [LastModificationTime] <= " + e);
    EXPECT_EQ(BuildDateFilter(3, start, end),
              "[CreationTime] >= " + s + " and [CreationTime] <= " + e);
    const QString any = BuildDateFilter(4, start, end);
    EXPECT_EQ(any.count(" OR "), 3);
    EXPECT_TRUE(any.startsWith("[ReceivedTime] >= "));
    EXPECT_TRUE(any.endsWith("[CreationTime] <= " + e));
}
