#include "DateFilter.h"

#include <QLocale>

#include <array>

namespace kestrel::engine {

namespace {

struct Clause {
    const char* lower;
    const char* upper;
};

constexpr std::array<Clause, 4> kClauses = {{
    {"[ReceivedTime] >= ", " and [ReceivedTime] <= "},
    {"[SentOn] >= ", " and [SentOn] <= "},
    {"[LastModificationTime] >= ", " and [LastModificationTime] <= "},
    {"[CreationTime] >= ", " and [CreationTime] <= "},
}};

QString clauseText(const Clause& clause, const QString& start, const QString& end)
{
    return QLatin1String(clause.lower) + start + QLatin1String(clause.upper) + end;
}

} // namespace

QString OutlookDateTimeStr(const QDateTime& d)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return '"' + english.toString(d, QStringLiteral("MMMM dd, yyyy hh:mm AP")) + '"';
}

QString BuildDateFilter(int dateBase, const QDateTime& startDate, const QDateTime& endDate)
{
    const QString start = OutlookDateTimeStr(startDate);
    const QString end = OutlookDateTimeStr(endDate);
    if (dateBase >= 0 && dateBase < int(kClauses.size()))
        return clauseText(kClauses[dateBase], start, end);
    QStringList all;
    for (const Clause& clause : kClauses)
        all << clauseText(clause, start, end);
    return all.join(QStringLiteral(" OR "));
}

} // namespace kestrel::engine
