#pragma once

// A second backend that is real: the Maildir backend under the type name
// "maildir-foreign". Its stores are another backend's to the stores of type
// maildir, so that moves between them take the way every pair of different
// backends takes (the raw message), not a rename.

#include "platform/PlatformRegistry.h"
#include "platform/maildir/MaildirStores.h"

namespace kestrel::test {

inline constexpr const char* kForeignType = "maildir-foreign";

inline platform::BackendRegistry withForeignBackend()
{
    platform::BackendRegistry backends = platform::installedBackends();
    backends.add(QLatin1String(kForeignType), platform::maildir::openMaildirStores);
    return backends;
}

} // namespace kestrel::test
