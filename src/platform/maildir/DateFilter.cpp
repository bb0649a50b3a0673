#include "DateFilter.h"

#include <QDateTime>
#include <QRegularExpression>

namespace kestrel::platform::maildir {

namespace {

qint64 floorMinute(qint64 msecs)
{
    return msecs >= 0 ? msecs / 60000 : -((-msecs + 59999) / 60000);
}

// Reads the source text left to right; every method skips leading blanks.
class Scanner {
public:
    explicit Scanner(const QString& text) : m_text(text) {}

    bool atEnd() const { return QStringView(m_text).mid(m_pos).trimmed().isEmpty(); }
    qsizetype position() const { return m_pos; }

    bool takeKeyword(QLatin1String word)
    {
        const qsizetype start = m_pos;
        const bool blankBefore = skipBlanks() > 0;
        if (blankBefore &&
            QStringView(m_text).mid(m_pos, word.size()).compare(word, Qt::CaseInsensitive) == 0 &&
            m_pos + word.size() < m_text.size() && m_text.at(m_pos + word.size()).isSpace()) {
            m_pos += word.size();
            return true;
        }
        m_pos = start;
        return false;
    }

    std::optional<QString> takeBracketed()
    {
        skipBlanks();
        if (m_pos >= m_text.size() || m_text.at(m_pos) != '[')
            return std::nullopt;
        const qsizetype end = m_text.indexOf(']', m_pos + 1);
        if (end < 0)
            return std::nullopt;
        const QString name = m_text.mid(m_pos + 1, end - m_pos - 1).trimmed();
        m_pos = end + 1;
        return name;
    }

    std::optional<QString> takeOperator()
    {
        skipBlanks();
        for (const char* op : {">=", "<=", ">", "<", "="}) {
            const QLatin1String text(op);
            if (QStringView(m_text).mid(m_pos, text.size()) == text) {
                m_pos += text.size();
                return QString(text);
            }
        }
        return std::nullopt;
    }

    std::optional<QString> takeQuoted()
    {
        skipBlanks();
        if (m_pos >= m_text.size() || (m_text.at(m_pos) != '"' && m_text.at(m_pos) != '\''))
            return std::nullopt;
        const QChar quote = m_text.at(m_pos);
        const qsizetype end = m_text.indexOf(quote, m_pos + 1);
        if (end < 0)
            return std::nullopt;
        const QString literal = m_text.mid(m_pos + 1, end - m_pos - 1);
        m_pos = end + 1;
        return literal;
    }

private:
    int skipBlanks()
    {
        int skipped = 0;
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace()) {
            ++m_pos;
            ++skipped;
        }
        return skipped;
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};

std::optional<DateProperty> propertyNamed(const QString& name)
{
    if (name.compare(QLatin1String("ReceivedTime"), Qt::CaseInsensitive) == 0)
        return DateProperty::ReceivedTime;
    if (name.compare(QLatin1String("SentOn"), Qt::CaseInsensitive) == 0)
        return DateProperty::SentOn;
    if (name.compare(QLatin1String("LastModificationTime"), Qt::CaseInsensitive) == 0)
        return DateProperty::LastModificationTime;
    if (name.compare(QLatin1String("CreationTime"), Qt::CaseInsensitive) == 0)
        return DateProperty::CreationTime;
    return std::nullopt;
}

} // namespace

std::optional<qint64> DateFilter::parseLiteral(const QString& literal)
{
    static const QRegularExpression pattern(
        QStringLiteral(
            R"(^\s*([A-Za-z]+)\s+(\d{1,2}),\s*(\d{4})\s+(\d{1,2}):(\d{2})\s*(AM|PM)\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    static const char* const months[] = {"january",   "february", "march",    "april",
                                         "may",       "june",     "july",     "august",
                                         "september", "october",  "november", "december"};
    const QRegularExpressionMatch match = pattern.match(literal);
    if (!match.hasMatch())
        return std::nullopt;
    int month = 0;
    for (int i = 0; i < 12; ++i) {
        if (match.captured(1).compare(QLatin1String(months[i]), Qt::CaseInsensitive) == 0)
            month = i + 1;
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

std::optional<DateFilter> DateFilter::parse(const QString& text, QString* problem)
{
    DateFilter filter;
    Scanner scanner(text);
    auto fail = [&](const QString& why) -> std::optional<DateFilter> {
        if (problem)
            *problem = QStringLiteral("%1 at position %2").arg(why).arg(scanner.position() + 1);
        return std::nullopt;
    };

    QList<Comparison> clause;
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
        const std::optional<QString> literal = scanner.takeQuoted();
        if (!literal)
            return fail(QStringLiteral("Expected a quoted date"));
        const std::optional<qint64> value = parseLiteral(*literal);
        if (!value)
            return fail(QStringLiteral("Not a date: \"%1\"").arg(*literal));

        const Op op = *opText == QLatin1String(">=")   ? Op::GreaterEqual
                      : *opText == QLatin1String("<=") ? Op::LessEqual
                      : *opText == QLatin1String(">")  ? Op::Greater
                      : *opText == QLatin1String("<")  ? Op::Less
                                                       : Op::Equal;
        clause.append({*property, op, floorMinute(*value)});
        filter.m_uses[int(*property)] = true;

        if (scanner.atEnd())
            break;
        if (scanner.takeKeyword(QLatin1String("and")))
            continue;
        if (scanner.takeKeyword(QLatin1String("or"))) {
            filter.m_clauses.append(clause);
            clause.clear();
            continue;
        }
        return fail(QStringLiteral("Expected \"and\" or \"OR\""));
    }
    filter.m_clauses.append(clause);
    return filter;
}

bool DateFilter::matches(const std::function<std::optional<qint64>(DateProperty)>& valueOf) const
{
    std::array<std::optional<std::optional<qint64>>, 4> cache;
    auto minuteOf = [&](DateProperty property) -> std::optional<qint64> {
        auto& slot = cache[int(property)];
        if (!slot)
            slot = valueOf(property);
        if (!*slot)
            return std::nullopt;
        return floorMinute(**slot);
    };
    for (const QList<Comparison>& clause : m_clauses) {
        bool all = true;
        for (const Comparison& c : clause) {
            const std::optional<qint64> minute = minuteOf(c.property);
            const bool ok = minute && (c.op == Op::GreaterEqual ? *minute >= c.minute
                                       : c.op == Op::LessEqual  ? *minute <= c.minute
                                       : c.op == Op::Greater    ? *minute > c.minute
                                       : c.op == Op::Less       ? *minute < c.minute
                                                                : *minute == c.minute);
            if (!ok) {
                all = false;
                break;
            }
        }
        if (all)
            return true;
    }
    return false;
}

} // namespace kestrel::platform::maildir
