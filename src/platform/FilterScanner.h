#pragma once

// Reads a restriction filter left to right; every take skips leading blanks
// and leaves the position unchanged when the token is not there.

#include <QString>

#include <optional>

namespace kestrel::platform {

class FilterScanner {
public:
    explicit FilterScanner(const QString& text) : m_text(text) {}

    bool atEnd() const;
    qsizetype position() const { return m_pos; }

    // A word such as "and" with blanks on both sides (a date literal may hold "AM").
    bool takeKeyword(QLatin1String word);
    std::optional<QString> takeBracketed();
    std::optional<QString> takeOperator();
    std::optional<QString> takeQuoted(); // in " or '

private:
    int skipBlanks();

    const QString& m_text;
    qsizetype m_pos = 0;
};

} // namespace kestrel::platform
