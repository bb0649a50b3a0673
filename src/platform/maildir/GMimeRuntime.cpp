#include "GMimeRuntime.h"

#include <gmime/gmime.h>

#include <mutex>

namespace kestrel::platform::maildir {

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

} // namespace kestrel::platform::maildir
