#include "MaildirApplication.h"

#include "../msg/GMimeSupport.h"
#include "MaildirBackend.h"
#include "MaildirNamespace.h"

#include <cstdio>

namespace kestrel::platform::maildir {

MaildirApplication::MaildirApplication(MailProfile profile) : m_profile(std::move(profile))
{
    msg::ensureGMime(); // once, before any parsing
}

std::unique_ptr<Namespace> MaildirApplication::getNamespace(const QString& type)
{
    if (type != QLatin1String("MAPI")) {
        setError(ErrorKind::Unsupported, QStringLiteral("Unknown namespace"), type);
        return nullptr;
    }
    clearError();
    return std::make_unique<MaildirNamespace>(std::make_shared<MaildirBackend>(m_profile));
}

void MaildirApplication::quit()
{
    clearError(); // nothing runs beside us that could be asked to close
}

std::unique_ptr<Application> createMaildirApplication()
{
    const QString location = MailProfile::location();
    PlatformError error;
    std::optional<MailProfile> profile = MailProfile::load(location, &error);
    if (!profile) {
        std::fprintf(stderr, "kestrel-mailkeep: %s: %s\n", qUtf8Printable(error.text),
                     qUtf8Printable(error.detail));
        return nullptr;
    }
    return std::make_unique<MaildirApplication>(std::move(*profile));
}

} // namespace kestrel::platform::maildir
