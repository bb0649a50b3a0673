#include "RdoSession.h"

namespace kestrel::shell {

std::unique_ptr<platform::Session> OpenRDOSession(platform::Namespace& ns)
{
    return ns.openSession();
}

void CloseRDOSession(std::unique_ptr<platform::Session>& session)
{
    session.reset();
}

} // namespace kestrel::shell
