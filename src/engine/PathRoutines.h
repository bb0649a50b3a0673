#pragma once

#include <QString>

namespace kestrel::engine {

// A directory path with exactly one trailing "/" added when missing
// (an empty path gives "/").
QString AddPathSeparator(const QString& path);

} // namespace kestrel::engine
