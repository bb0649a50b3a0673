#pragma once

// RFC 2047 decoding of an unstructured header such as Subject. Adjacent encoded
// words are joined as bytes before the charset is applied, so a character split
// between words survives, and each word's base64 padding is honoured (GMime
// 3.2 joins the base64 text itself and loses the rest after a padded word).

#include <QByteArray>
#include <QString>

typedef struct _GMimeParserOptions GMimeParserOptions;

namespace kestrel::platform::msg {

// `raw` is the header value as it stands in the message (folded or not).
// Bytes outside encoded words are read with the fallback charsets of `options`
// (see fallbackOptions()), or as UTF-8, else windows-1252, without options.
QString decodeHeaderText(const QByteArray& raw, GMimeParserOptions* options = nullptr);
// Text with no charset label, read the same way.
QString decodeEightBit(const QByteArray& bytes, GMimeParserOptions* options);

} // namespace kestrel::platform::msg
