#pragma once

#include <QDateTime>
#include <QString>

namespace kestrel::engine {

enum DateBase { DateReceived = 0, DateSent = 1, DateModified = 2, DateCreated = 3, DateAny = 4 };

// "\"January 05, 2009 02:07 PM\"". English month names always: the platform
// parses English, and a localised name would make every filter fail.
QString OutlookDateTimeStr(const QDateTime& d);

// The restriction filter for a date base and an inclusive range.
QString BuildDateFilter(int dateBase, const QDateTime& startDate, const QDateTime& endDate);

} // namespace kestrel::engine
