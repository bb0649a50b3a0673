#include "PlatformRegistry.h"

#include "ProfileApplication.h"

#include <cstdio>

namespace kestrel::platform {

void BackendRegistry::add(const QString& type, BackendOpener open)
{
    for (auto& entry : m_backends) {
        if (entry.first == type) {
            entry.second = std::move(open);
            return;
        }
    }
    m_backends.append({type, std::move(open)});
}

const BackendOpener* BackendRegistry::find(const QString& type) const
{
    for (const auto& entry : m_backends) {
        if (entry.first == type)
            return &entry.second;
    }
    return nullptr;
}

std::unique_ptr<Application> createApplication(const BackendRegistry& backends)
{
    const QString location = MailProfile::location();
    PlatformError error;
    std::optional<MailProfile> profile = MailProfile::load(location, &error);
    if (!profile) {
        std::fprintf(stderr, "kestrel-mailkeep: %s: %s\n", qUtf8Printable(error.text),
                     qUtf8Printable(error.detail));
        if (error.kind == ErrorKind::NotFound)
            return nullptr; // no mail set up at all
        // A profile that is there but unusable is refused at logon, where
        // the user is told why.
        return std::make_unique<ProfileApplication>(MailProfile{}, backends, error);
    }
    return std::make_unique<ProfileApplication>(std::move(*profile), backends);
}

} // namespace kestrel::platform
