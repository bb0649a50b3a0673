#pragma once

// Takes HTML or plain text back out of RTF that encapsulates it (\fromhtml1,
// \fromtext; MS-OXRTFEX), and the visible text out of native RTF.

#include <QByteArray>
#include <QString>

namespace kestrel::platform::msg {

enum class RtfKind { Native, Html, Text };

RtfKind rtfKind(const QByteArray& rtf);

// For RtfKind::Html the HTML document; otherwise the text that RTF shows.
QString deencapsulateRtf(const QByteArray& rtf);

} // namespace kestrel::platform::msg
