#pragma once

#include <QString>

namespace kestrel::engine {

// True when path names a directory whose listing can be read (with "/"
// added when missing, so a path as typed with a trailing blank is looked up
// with its blank). Never fails otherwise.
bool FolderExists(const QString& path);

} // namespace kestrel::engine
