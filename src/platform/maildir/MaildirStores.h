#pragma once

#include "../MailPlatform.h"
#include "../MailProfile.h"

#include <memory>

namespace kestrel::platform::maildir {

// The Maildir++ stores of a profile as a namespace: the backend's opener.
std::unique_ptr<Namespace> openMaildirStores(const MailProfile& stores);

} // namespace kestrel::platform::maildir
