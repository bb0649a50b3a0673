#include "HeaderText.h"

#include "Charsets.h"
#include "HexEscapes.h"

#include <QRegularExpression>

#include <gmime/gmime.h>

namespace kestrel::platform::msg {

QString decodeEightBit(const QByteArray& bytes, GMimeParserOptions* options)
{
    if (g_utf8_validate(bytes.constData(), bytes.size(), nullptr))
        return QString::fromUtf8(bytes);
    if (!options)
        return decodeCodepage(bytes, 1252);
    char* text = g_mime_utils_decode_8bit(options, bytes.constData(), size_t(bytes.size()));
    const QString out = QString::fromUtf8(text);
    g_free(text);
    return out;
}

QString decodeHeaderText(const QByteArray& raw, GMimeParserOptions* options)
{
    QByteArray value = raw;
    value.replace("\r\n", "\n");
    value.replace("\n ", " ");
    value.replace("\n\t", "\t");
    value.replace('\n', ' ');
    static const QRegularExpression word(
        QStringLiteral("=\\?([^?\\s]+)\\?([BbQq])\\?([^?\\s]*)\\?="));

    const QString text = QString::fromLatin1(value);
    QString out;
    QByteArray pending;
    QByteArray pendingCharset;
    auto flush = [&] {
        if (!pending.isEmpty())
            out += decodeCharset(pending, pendingCharset.constData());
        pending.clear();
    };
    qsizetype pos = 0;
    bool afterWord = false;
    auto it = word.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        const QByteArray gap = value.mid(pos, m.capturedStart() - pos);
        // White space between two encoded words is not part of the text.
        if (!(afterWord && gap.trimmed().isEmpty())) {
            flush();
            out += decodeEightBit(gap, options);
        }
        QByteArray charset = m.captured(1).toLatin1().toUpper();
        if (const qsizetype star = charset.indexOf('*'); star >= 0)
            charset.truncate(star);
        const QByteArray payload = m.captured(3).toLatin1();
        const QByteArray bytes = m.captured(2).toUpper() == QLatin1String("B")
                                     ? QByteArray::fromBase64(payload)
                                     : unescapeHex(payload, '=', '_', ' ');
        if (charset != pendingCharset)
            flush();
        pendingCharset = charset;
        pending += bytes;
        pos = m.capturedEnd();
        afterWord = true;
    }
    flush();
    out += decodeEightBit(value.mid(pos), options);
    return out.trimmed();
}

} // namespace kestrel::platform::msg
