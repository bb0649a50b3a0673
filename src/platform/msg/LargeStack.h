#pragma once

// GMime recurses on nested address groups, multiparts and embedded messages as
// deep as the input goes: a hostile header of a few megabytes overflows a normal
// thread stack. MIME work therefore runs on a thread with a stack far larger
// than any input we accept can use up (pages are only committed when touched).

#include <functional>

namespace kestrel::platform::msg {

// Runs `work` to completion on a thread with a 1 GB stack (one such thread per
// calling thread, kept), or in place when no such thread can be made.
void runOnLargeStack(const std::function<void()>& work);

} // namespace kestrel::platform::msg
