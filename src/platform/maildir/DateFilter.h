#pragma once

// The date restriction of an item collection:
//   [Prop] >= "January 05, 2009 02:07 PM" and [Prop] <= "..." OR ...
// Prop is ReceivedTime, SentOn, LastModificationTime or CreationTime; the
// operators are >=, <=, >, < and =; "and" binds tighter than "OR" (keywords in
// any case). Literals are local times with English month names and no seconds,
// so values are compared at minute precision: a message at 23:59:42 is inside
// an upper bound of 11:59 PM.

#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace kestrel::platform::maildir {

enum class DateProperty { ReceivedTime, SentOn, LastModificationTime, CreationTime };

class DateFilter {
public:
    // Nothing, with the reason in *problem, when the text does not parse.
    static std::optional<DateFilter> parse(const QString& text, QString* problem);
    // A literal such as "January 05, 2009 02:07 PM" (without quotes), as epoch ms.
    static std::optional<qint64> parseLiteral(const QString& literal);

    bool uses(DateProperty property) const { return m_uses[int(property)]; }
    // valueOf gives a property's epoch milliseconds, or nothing when the item has
    // no such value (which fails every comparison on it).
    bool matches(const std::function<std::optional<qint64>(DateProperty)>& valueOf) const;

private:
    enum class Op { GreaterEqual, LessEqual, Greater, Less, Equal };
    struct Comparison {
        DateProperty property;
        Op op;
        qint64 minute; // minutes since the epoch
    };
    QList<QList<Comparison>> m_clauses; // OR of ANDs
    std::array<bool, 4> m_uses{};
};

} // namespace kestrel::platform::maildir
