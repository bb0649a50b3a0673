#pragma once

// Plain text from an HTML body, for readers that show only PR_BODY.

#include <QString>

namespace kestrel::platform::msg {

// Block tags become line breaks, scripts, styles and comments go, entities are
// decoded, runs of white space fold; lines end in CRLF.
QString htmlToText(const QString& html);

} // namespace kestrel::platform::msg
