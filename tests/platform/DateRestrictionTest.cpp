#include "platform/DateRestriction.h"

#include <QLocale>

#include <gtest/gtest.h>

using kestrel::platform::DateProperty;
using kestrel::platform::DateRestriction;
using kestrel::platform::kDateProperties;
using Op = DateRestriction::Op;

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

qint64 minute(const QDateTime& d)
{
    return DateRestriction::minuteOf(d.toMSecsSinceEpoch());
}

} // namespace

TEST(DateRestriction, WriterAndParserRoundTripEveryPropertyAndBound)
{
    const QList<QDateTime> times = {local(2009, 1, 5, 14, 7, 33), local(1900, 1, 1, 0, 0),
                                    local(1969, 12, 31, 23, 59, 59), local(2038, 6, 30, 12, 0),
                                    local(2025, 12, 31, 23, 59, 59)};
    const std::array<Op, 5> ops = {Op::GreaterEqual, Op::LessEqual, Op::Greater, Op::Less,
                                   Op::Equal};
    QList<DateRestriction::Clause> every;
    for (DateProperty property : kDateProperties) {
        for (Op op : ops) {
            for (const QDateTime& at : times) {
                const DateRestriction single({{{property, op, minute(at)}}});
                QString problem;
                EXPECT_EQ(DateRestriction::parse(single.toFilter(), &problem), single)
                    << single.toFilter().toStdString() << problem.toStdString();
                every.append(single.clauses());
            }
        }
        const DateRestriction range = DateRestriction::between(property, times[0], times.last());
        EXPECT_EQ(DateRestriction::parse(range.toFilter(), nullptr), range);
    }
    const DateRestriction all(every);
    EXPECT_EQ(DateRestriction::parse(all.toFilter(), nullptr), all);

    // The text every backend reads: seconds dropped, English twelve-hour times,
    // the four ranges in order joined by " OR ".
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString any = DateRestriction::anyBetween(times[0], times.last()).toFilter();
    QLocale::setDefault(QLocale::c());
    const QString s = "\"January 05, 2009 02:07 PM\"";
    const QString e = "\"December 31, 2025 11:59 PM\"";
    QStringList expected;
    for (const char* name : {"ReceivedTime", "SentOn", "LastModificationTime", "CreationTime"})
        expected << QStringLiteral("[%1] >= %2 and [%1] <= %3").arg(name, s, e);
    EXPECT_EQ(any, expected.join(" OR "));
}

TEST(DateRestriction, ParserReadsOtherSpellingsAndRefusesBrokenText)
{
    const std::optional<DateRestriction> loose = DateRestriction::parse(
        "  [sentOn]>='May 01, 2009 1:00 am' AND [CreationTime] < \"may 2, 2009 12:00 PM\" or "
        "[ LastModificationTime ] = \"May 03, 2009 12:30 AM\" ",
        nullptr);
    ASSERT_TRUE(loose);
    EXPECT_EQ(
        *loose,
        DateRestriction(
            {{{DateProperty::SentOn, Op::GreaterEqual, minute(local(2009, 5, 1, 1, 0))},
              {DateProperty::CreationTime, Op::Less, minute(local(2009, 5, 2, 12, 0))}},
             {{DateProperty::LastModificationTime, Op::Equal, minute(local(2009, 5, 3, 0, 30))}}}));

    for (const char* bad :
         {"Janvier 05, 2009 02:07 PM", "February 30, 2009 02:07 PM", "January 05, 2009 13:07 PM",
          "January 05, 2009 00:07 AM", "January 05, 2009 02:60 PM", "January 05 2009 02:07 PM",
          "January 05, 2009 14:07", "2009-01-05 14:07", ""})
        EXPECT_FALSE(DateRestriction::parseLiteral(bad)) << bad;

    for (const char* bad :
         {"", "[ReceivedTime]", "[Subject] >= \"January 05, 2009 02:07 PM\"",
          "[ReceivedTime] => \"January 05, 2009 02:07 PM\"",
          "[ReceivedTime] >= January 05, 2009 02:07 PM",
          "[ReceivedTime] >= \"January 05, 2009 02:07 PM",
          "[ReceivedTime] >= \"January 05, 2009 02:07 PM\" and",
          "[ReceivedTime] >= \"January 05, 2009 02:07 PM\" xor [SentOn] >= \"May 01, 2009 01:00 "
          "AM\"",
          "[ReceivedTime] >= \"January 05, 2009 02:07 PM\" OR"}) {
        QString problem;
        EXPECT_FALSE(DateRestriction::parse(bad, &problem)) << bad;
        EXPECT_TRUE(problem.contains("at position")) << bad;
    }
}

TEST(DateRestriction, MatchesToTheMinuteAndAnItemWithoutTheValueFails)
{
    const DateRestriction day = DateRestriction::between(
        DateProperty::ReceivedTime, local(2009, 1, 5, 0, 0), local(2009, 1, 5, 23, 59, 59));
    auto receivedAt = [](const QDateTime& at) {
        return [at](DateProperty p) -> std::optional<qint64> {
            if (p != DateProperty::ReceivedTime || !at.isValid())
                return std::nullopt;
            return at.toMSecsSinceEpoch();
        };
    };
    EXPECT_TRUE(day.matches(receivedAt(local(2009, 1, 5, 0, 0, 0))));
    EXPECT_TRUE(day.matches(receivedAt(local(2009, 1, 5, 23, 59, 42))));
    EXPECT_FALSE(day.matches(receivedAt(local(2009, 1, 4, 23, 59, 59))));
    EXPECT_FALSE(day.matches(receivedAt(local(2009, 1, 6, 0, 0, 0))));
    EXPECT_FALSE(day.matches(receivedAt(QDateTime())));

    // Any one of the four ranges is enough; each value is asked for once.
    const DateRestriction any =
        DateRestriction::anyBetween(local(2009, 1, 5, 0, 0), local(2009, 1, 5, 23, 59, 59));
    int asked = 0;
    EXPECT_TRUE(any.matches([&](DateProperty p) -> std::optional<qint64> {
        ++asked;
        if (p == DateProperty::CreationTime)
            return local(2009, 1, 5, 12, 0).toMSecsSinceEpoch();
        return local(2010, 1, 1, 0, 0).toMSecsSinceEpoch(); // past the upper bound
    }));
    EXPECT_EQ(asked, 4);
}
