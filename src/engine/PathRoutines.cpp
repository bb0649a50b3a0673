#include "PathRoutines.h"

namespace kestrel::engine {

QString AddPathSeparator(const QString& path)
{
    return path.endsWith('/') ? path : path + '/';
}

} // namespace kestrel::engine
