#pragma once

// The date restriction of an item collection, and its filter text:
//   [Prop] >= "January 05, 2009 02:07 PM" and [Prop] <= "..." OR ...
// Prop is ReceivedTime, SentOn, LastModificationTime or CreationTime; the
// operators are >=, <=, >, < and =; "and" binds tighter than "OR" (keywords in
// any case). Literals are local times with English month names and no seconds,
// so values are compared at minute precision: a message at 23:59:42 is inside
// an upper bound of 11:59 PM. The engine writes this text and every backend
// parses it, so both sides go through this one type.

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace kestrel::platform {

class MailItem;

enum class DateProperty { ReceivedTime, SentOn, LastModificationTime, CreationTime };

inline constexpr std::array<DateProperty, 4> kDateProperties = {
    DateProperty::ReceivedTime, DateProperty::SentOn, DateProperty::LastModificationTime,
    DateProperty::CreationTime};

// The item's value of a date property (the matching MailItem getter).
std::optional<QDateTime> readDate(MailItem& item, DateProperty property);

class DateRestriction {
public:
    enum class Op { GreaterEqual, LessEqual, Greater, Less, Equal };
    struct Comparison {
        DateProperty property;
        Op op;
        qint64 minute; // minutes since the epoch
        bool operator==(const Comparison&) const = default;
    };
    using Clause = QList<Comparison>; // all of them hold

    DateRestriction() = default;
    // Any one clause holds.
    explicit DateRestriction(QList<Clause> clauses);

    // [property] >= start and [property] <= end, both to the minute.
    static DateRestriction between(DateProperty property, const QDateTime& start,
                                   const QDateTime& end);
    // The same range on every property, in the order of kDateProperties, joined by " OR ".
    static DateRestriction anyBetween(const QDateTime& start, const QDateTime& end);

    // Nothing, with the reason and position in *problem, when the text does not parse.
    static std::optional<DateRestriction> parse(const QString& text, QString* problem);
    QString toFilter() const;

    // "January 05, 2009 02:07 PM" (no quotes) for the local time of d. English
    // month names always: a localised name would make every filter fail.
    static QString literal(const QDateTime& d);
    // The epoch milliseconds of such a literal, read as local time.
    static std::optional<qint64> parseLiteral(const QString& literal);
    static qint64 minuteOf(qint64 msecs); // floored, also before 1970

    const QList<Clause>& clauses() const { return m_clauses; }
    // valueOf gives a property's epoch milliseconds, or nothing when the item has
    // no such value (which fails every comparison on it).
    bool matches(const std::function<std::optional<qint64>(DateProperty)>& valueOf) const;

    bool operator==(const DateRestriction&) const = default;

private:
    QList<Clause> m_clauses;
};

} // namespace kestrel::platform
