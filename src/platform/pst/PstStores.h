#pragma once

#include "../MailPlatform.h"
#include "../MailProfile.h"

#include <memory>

namespace kestrel::platform::pst {

// The Outlook data files (.pst, .ost) of a profile as a namespace: the backend's opener.
std::unique_ptr<Namespace> openPstStores(const MailProfile& stores);

} // namespace kestrel::platform::pst
