#pragma once

#include "platform/MailPlatform.h"

#include <memory>

namespace kestrel::shell {

// The extended session attached to the namespace's logon, or nullptr when it
// cannot be created or attached. Shows no message.
std::unique_ptr<platform::Session> OpenRDOSession(platform::Namespace& ns);

// Detaches and drops the session; errors are ignored.
void CloseRDOSession(std::unique_ptr<platform::Session>& session);

} // namespace kestrel::shell
