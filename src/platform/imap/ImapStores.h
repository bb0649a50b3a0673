#pragma once

#include "../MailPlatform.h"
#include "../MailProfile.h"

#include <memory>

namespace kestrel::platform::imap {

// The IMAP stores of a profile as a namespace: the backend's opener.
std::unique_ptr<Namespace> openImapStores(const MailProfile& stores);

} // namespace kestrel::platform::imap
