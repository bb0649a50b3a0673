#include "FilterScanner.h"

namespace kestrel::platform {

bool FilterScanner::atEnd() const
{
    return QStringView(m_text).mid(m_pos).trimmed().isEmpty();
}

bool FilterScanner::takeKeyword(QLatin1String word)
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

std::optional<QString> FilterScanner::takeBracketed()
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

std::optional<QString> FilterScanner::takeOperator()
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

std::optional<QString> FilterScanner::takeQuoted()
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

int FilterScanner::skipBlanks()
{
    int skipped = 0;
    while (m_pos < m_text.size() && m_text.at(m_pos).isSpace()) {
        ++m_pos;
        ++skipped;
    }
    return skipped;
}

} // namespace kestrel::platform
