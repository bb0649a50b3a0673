#pragma once

#include "platform/DateRestriction.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace kestrel::engine {

enum DateBase { DateReceived = 0, DateSent = 1, DateModified = 2, DateCreated = 3, DateAny = 4 };

// The property a single date base tests; nothing for DateAny (or out of range).
std::optional<platform::DateProperty> datePropertyOf(int dateBase);

// "\"January 05, 2009 02:07 PM\"": a filter literal, quoted.
QString OutlookDateTimeStr(const QDateTime& d);

// The restriction filter for a date base and an inclusive range.
QString BuildDateFilter(int dateBase, const QDateTime& startDate, const QDateTime& endDate);

} // namespace kestrel::engine
