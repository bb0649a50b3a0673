#include "HexEscapes.h"

namespace kestrel::platform::msg {

QByteArray unescapeHex(const QByteArray& text, char escape, char alias, char aliasValue)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        bool ok = false;
        const int v = c == escape && i + 2 < text.size() ? text.mid(i + 1, 2).toInt(&ok, 16) : 0;
        if (c == alias) {
            out += aliasValue;
        } else if (ok) {
            out += char(v);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace kestrel::platform::msg
