#pragma once

namespace kestrel::platform::maildir {

// Initialises GMime once for the process; safe to call from anywhere, any number of times.
void ensureGMime();

} // namespace kestrel::platform::maildir
