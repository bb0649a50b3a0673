#pragma once

// File and directory names as the file system holds them: bytes, usually
// UTF-8 but not always. A byte that is not part of valid UTF-8 becomes the
// lone surrogate U+DC80 + byte and turns back into that byte, so every name
// survives the trip into a QString and back (QFile::decodeName would replace
// it with U+FFFD and lose the file). Such names are internal: folder display
// names are made from them by MaildirName, never shown as they are.

#include <QByteArray>
#include <QString>

namespace kestrel::platform::maildir {

QString nameFromBytes(const QByteArray& bytes);
// The bytes of a name or path made by nameFromBytes (or any plain text).
QByteArray nativePath(const QString& path);
// Whether the name holds bytes that are not UTF-8.
bool hasRawBytes(const QString& name);
// The name with those bytes, and control characters, written "%XX".
QString visibleName(const QString& name);

} // namespace kestrel::platform::maildir
