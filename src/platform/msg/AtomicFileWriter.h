#pragma once

// Writes a whole file so that it appears under its final name complete or not
// at all: a temporary name in the same directory, fsync, rename, fsync of the
// directory.

#include "platform/PlatformError.h"

#include <QByteArray>
#include <QString>

namespace kestrel::platform::msg {

bool writeFileAtomically(const QString& path, const QByteArray& data, PlatformError* error);

} // namespace kestrel::platform::msg
