#pragma once

// Writes a whole file so that it appears under its final name complete or not
// at all: a temporary name in the same directory, fsync, a rename that never
// replaces an existing entry, fsync of the directory.

#include "platform/PlatformError.h"

#include <QByteArray>
#include <QString>

namespace kestrel::platform::msg {

// Returns false and fills error when the file cannot be written whole; error
// kind Exists when something already has the final name (it is left alone).
bool writeFileAtomically(const QString& path, const QByteArray& data, PlatformError* error);

// Removes temporary files that a killed writer left in directory: only names
// of our own pattern, and only when the writer that made them is gone or they
// have not been written to for a long time. Returns how many were removed.
int removeStaleTemporaryFiles(const QString& directory);

} // namespace kestrel::platform::msg
