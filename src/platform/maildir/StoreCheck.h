#pragma once

// Which stores of a profile can be opened. A store whose folder is missing,
// cannot be read or holds no Maildir++ tree is left out of the namespace with
// its reason, so that one bad entry does not keep the user from the others;
// nothing is created in its place, since the path may be a typo for a folder
// the user meant.

#include "../MailProfile.h"

#include <optional>

namespace kestrel::platform::maildir {

// Why the store cannot be used (the text names the store, the detail is its
// folder), or nothing when it can.
std::optional<PlatformError> unusableReason(const StoreEntry& store);

// The profile with only its usable stores (the default store kept by name,
// else the first); each store left out adds its reason to leftOut.
MailProfile withUsableStores(const MailProfile& profile, QList<PlatformError>& leftOut);

} // namespace kestrel::platform::maildir
