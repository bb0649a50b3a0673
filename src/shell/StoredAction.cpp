#include "StoredAction.h"

#include <cmath>

namespace kestrel::shell {

// The number at the start of text, after leading blanks; 0 when there is none.
static double leadingNumber(const QString& text)
{
    int pos = 0;
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
    const int start = pos;
    if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+'))
        ++pos;
    while (pos < text.size() && text[pos].isDigit())
        ++pos;
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        while (pos < text.size() && text[pos].isDigit())
            ++pos;
    }
    bool ok = false;
    const double value = text.mid(start, pos - start).toDouble(&ok);
    return ok ? value : 0.0;
}

std::optional<int> storedActionPosition(const QString& stored)
{
    const double value = leadingNumber(stored);
    if (value == -1.0)
        return std::nullopt;
    if (std::abs(value) > 1e9)
        return std::nullopt; // far outside any list
    // A fraction rounds to the nearest position, a half to the even one.
    return int(std::nearbyint(value));
}

} // namespace kestrel::shell
