#pragma once

#include "MailPlatform.h"

namespace kestrel::platform {

// Creates the application of the configured backend: the Maildir profile at
// $KESTREL_PROFILE, else $XDG_CONFIG_HOME/kestrel-mailkeep/profile.ini.
// Returns nullptr (and says why on stderr) when there is no profile; an
// unusable one gives an application whose logon fails with the reason.
std::unique_ptr<Application> createApplication();

} // namespace kestrel::platform
