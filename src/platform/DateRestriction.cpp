#include "DateRestriction.h"

#include "FilterScanner.h"
#include "MailPlatform.h"

#include <QLocale>
#include <QRegularExpression>

namespace kestrel::platform {

namespace {

using Op = DateRestriction::Op;

// The one table of property names; writer and parser both read it.
constexpr std::array<const char*, 4> kPropertyNames = {"ReceivedTime", "SentOn",
                                                       "LastModificationTime", "CreationTime"};

// Longer operators first, so that ">=" is not read as ">".
constexpr std::array<std::pair<const char*, Op>, 5> kOperators = {{{">=", Op::GreaterEqual},
                                                                   {"<=", Op::LessEqual},
                                                                   {">", Op::Greater},
                                                                   {"<", Op::Less},
                                                                   {"=", Op::Equal}}};

std::optional<DateProperty> propertyNamed(const QString& name)
{
    for (DateProperty property : kDateProperties) {
        if (name.compare(QLatin1String(kPropertyNames[int(property)]), Qt::CaseInsensitive) == 0)
            return property;
    }
    return std::nullopt;
}

QLatin1String operatorText(Op op)
{
    for (const auto& [text, value] : kOperators) {
        if (value == op)
            return QLatin1String(text);
    }
    return {};
}

bool holds(qint64 minute, Op op, qint64 bound)
{
    switch (op) {
    case Op::GreaterEqual:
        return minute >= bound;
    case Op::LessEqual:
        return minute <= bound;
    case Op::Greater:
        return minute > bound;
    case Op::Less:
        return minute < bound;
    case Op::Equal:
        return minute == bound;
    }
    return false;
}

} // namespace

std::optional<QDateTime> readDate(MailItem& item, DateProperty property)
{
    switch (property) {
    case DateProperty::ReceivedTime:
        return item.receivedTime();
    case DateProperty::SentOn:
        return item.sentOn();
    case DateProperty::LastModificationTime:
        return item.lastModificationTime();
    case DateProperty::CreationTime:
        return item.creationTime();
    }
    return std::nullopt;
}

std::optional<qint64> MailItem::dateMsecs(DateProperty property)
{
    const std::optional<QDateTime> date = readDate(*this, property);
    return date ? std::optional(date->toMSecsSinceEpoch()) : std::nullopt;
}

DateRestriction::DateRestriction(QList<Clause> clauses) : m_clauses(std::move(clauses)) {}

DateRestriction DateRestriction::between(DateProperty property, const QDateTime& start,
                                         const QDateTime& end)
{
    return DateRestriction({{{property, Op::GreaterEqual, minuteOf(start.toMSecsSinceEpoch())},
                             {property, Op::LessEqual, minuteOf(end.toMSecsSinceEpoch())}}});
}

DateRestriction DateRestriction::anyBetween(const QDateTime& start, const QDateTime& end)
{
    QList<Clause> clauses;
    for (DateProperty property : kDateProperties)
        clauses.append(between(property, start, end).m_clauses);
    return DateRestriction(std::move(clauses));
}

qint64 DateRestriction::minuteOf(qint64 msecs)
{
    return msecs >= 0 ? msecs / 60000 : -((-msecs + 59999) / 60000);
}

QString DateRestriction::literal(const QDateTime& d)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(d.toLocalTime(), QStringLiteral("MMMM dd, yyyy hh:mm AP"));
}

std::optional<qint64> DateRestriction::parseLiteral(const QString& literal)
{
    static const QRegularExpression pattern(
        QStringLiteral(
            R"(^\s*([A-Za-z]+)\s+(\d{1,2}),\s*(\d{4})\s+(\d{1,2}):(\d{2})\s*(AM|PM)\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(literal);
    if (!match.hasMatch())
        return std::nullopt;
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    int month = 0;
    for (int i = 1; i <= 12; ++i) {
        if (match.captured(1).compare(english.monthName(i), Qt::CaseInsensitive) == 0)
            month = i;
    }
    const int hour12 = match.captured(4).toInt();
    const int minute = match.captured(5).toInt();
    if (month == 0 || hour12 < 1 || hour12 > 12 || minute > 59)
        return std::nullopt;
    const bool pm = match.captured(6).compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0;
    const int hour = hour12 % 12 + (pm ? 12 : 0);
    const QDate date(match.captured(3).toInt(), month, match.captured(2).toInt());
    if (!date.isValid())
        return std::nullopt;
    const QDateTime local(date, QTime(hour, minute), Qt::LocalTime);
    if (!local.isValid())
        return std::nullopt;
    return local.toMSecsSinceEpoch();
}

QString DateRestriction::toFilter() const
{
    QStringList clauses;
    for (const Clause& clause : m_clauses) {
        QStringList comparisons;
        for (const Comparison& c : clause) {
            const QDateTime at = QDateTime::fromMSecsSinceEpoch(c.minute * 60000);
            comparisons << QStringLiteral("[%1] %2 \"%3\"")
                               .arg(QLatin1String(kPropertyNames[int(c.property)]),
                                    operatorText(c.op), literal(at));
        }
        clauses << comparisons.join(QLatin1String(" and "));
    }
    return clauses.join(QLatin1String(" OR "));
}

std::optional<DateRestriction> DateRestriction::parse(const QString& text, QString* problem)
{
    FilterScanner scanner(text);
    auto fail = [&](const QString& why) -> std::optional<DateRestriction> {
        if (problem)
            *problem = QStringLiteral("%1 at position %2").arg(why).arg(scanner.position() + 1);
        return std::nullopt;
    };

    QList<Clause> clauses;
    Clause clause;
    for (;;) {
        const std::optional<QString> name = scanner.takeBracketed();
        if (!name)
            return fail(QStringLiteral("Expected a [Property]"));
        const std::optional<DateProperty> property = propertyNamed(*name);
        if (!property)
            return fail(QStringLiteral("Unknown property [%1]").arg(*name));
        const std::optional<QString> opText = scanner.takeOperator();
        if (!opText)
            return fail(QStringLiteral("Expected >=, <=, >, < or ="));
        const std::optional<QString> quoted = scanner.takeQuoted();
        if (!quoted)
            return fail(QStringLiteral("Expected a quoted date"));
        const std::optional<qint64> value = parseLiteral(*quoted);
        if (!value)
            return fail(QStringLiteral("Not a date: \"%1\"").arg(*quoted));

        Op op = Op::Equal;
        for (const auto& [opName, opValue] : kOperators) {
            if (*opText == QLatin1String(opName))
                op = opValue;
        }
        clause.append({*property, op, minuteOf(*value)});

        if (scanner.atEnd())
            break;
        if (scanner.takeKeyword(QLatin1String("and")))
            continue;
        if (scanner.takeKeyword(QLatin1String("or"))) {
            clauses.append(clause);
            clause.clear();
            continue;
        }
        return fail(QStringLiteral("Expected \"and\" or \"OR\""));
    }
    clauses.append(clause);
    return DateRestriction(std::move(clauses));
}

bool DateRestriction::matches(
    const std::function<std::optional<qint64>(DateProperty)>& valueOf) const
{
    // Each property is asked for once: a backend may read a file for it.
    std::array<std::optional<std::optional<qint64>>, 4> cache;
    auto minuteValue = [&](DateProperty property) -> std::optional<qint64> {
        auto& slot = cache[int(property)];
        if (!slot)
            slot = valueOf(property);
        if (!*slot)
            return std::nullopt;
        return minuteOf(**slot);
    };
    for (const Clause& clause : m_clauses) {
        bool all = true;
        for (const Comparison& c : clause) {
            const std::optional<qint64> minute = minuteValue(c.property);
            if (!minute || !holds(*minute, c.op, c.minute)) {
                all = false;
                break;
            }
        }
        if (all)
            return true;
    }
    return false;
}

} // namespace kestrel::platform
