#pragma once

#include "DemoMessage.h"

#include <QByteArray>

namespace kestrel::demo {

// Turns a DemoMessage into RFC 5322 bytes with LF line ends, as Dovecot keeps
// them in a Maildir. The same message always gives the same bytes.
class MessageComposer {
public:
    static QByteArray compose(const DemoMessage& message);

    // RFC 5322 date, e.g. "Tue, 03 Mar 2015 10:22:01 +0100".
    static QByteArray rfc5322Date(qint64 utcSeconds, int utcOffsetMinutes);
    // An RFC 2047 encoded word when the text is not plain ASCII.
    static QByteArray encodeHeaderText(const QString& text);
};

} // namespace kestrel::demo
