#include "ExchangeAddress.h"

#include "HexEscapes.h"

namespace kestrel::platform::msg {

namespace {

const QString Prefix = QStringLiteral("IMCEAEX-");
const QString Domain = QStringLiteral("@exchange.invalid");

bool isPlain(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '=';
}

} // namespace

QString toImceaex(const QString& x500)
{
    QString out = Prefix;
    for (const char c : x500.toUtf8()) {
        if (c == '/')
            out += QLatin1Char('_');
        else if (isPlain(c))
            out += QLatin1Char(c);
        else
            out += QStringLiteral("+%1")
                       .arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'))
                       .toUpper();
    }
    return out + Domain;
}

std::optional<QString> fromImceaex(const QString& address)
{
    if (!address.startsWith(Prefix, Qt::CaseInsensitive))
        return std::nullopt;
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    const QByteArray local =
        address.mid(Prefix.size(), at < 0 ? -1 : at - Prefix.size()).toLatin1();
    const QByteArray bytes = unescapeHex(local, '+', '_', '/');
    return QString::fromUtf8(bytes);
}

} // namespace kestrel::platform::msg
