#include "DateFilter.h"

namespace kestrel::engine {

using platform::DateProperty;
using platform::DateRestriction;

std::optional<DateProperty> datePropertyOf(int dateBase)
{
    switch (dateBase) {
    case DateReceived:
        return DateProperty::ReceivedTime;
    case DateSent:
        return DateProperty::SentOn;
    case DateModified:
        return DateProperty::LastModificationTime;
    case DateCreated:
        return DateProperty::CreationTime;
    default:
        return std::nullopt;
    }
}

QString OutlookDateTimeStr(const QDateTime& d)
{
    return '"' + DateRestriction::literal(d) + '"';
}

QString BuildDateFilter(int dateBase, const QDateTime& startDate, const QDateTime& endDate)
{
    const std::optional<DateProperty> property = datePropertyOf(dateBase);
    const DateRestriction restriction =
        property ? DateRestriction::between(*property, startDate, endDate)
                 : DateRestriction::anyBetween(startDate, endDate);
    return restriction.toFilter();
}

} // namespace kestrel::engine
