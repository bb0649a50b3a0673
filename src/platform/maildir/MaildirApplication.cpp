#include "MaildirApplication.h"

#include "../msg/GMimeSupport.h"
#include "MaildirBackend.h"
#include "MaildirNamespace.h"
#include "StoreCheck.h"

#include <cstdio>

namespace kestrel::platform::maildir {

MaildirApplication::MaildirApplication(MailProfile profile, PlatformError refusal)
    : m_profile(std::move(profile)), m_refusal(std::move(refusal))
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
    QList<PlatformError> leftOut;
    auto backend = std::make_shared<MaildirBackend>(withUsableStores(m_profile, leftOut));
    backend->refusal = m_refusal;
    backend->leftOut = leftOut;
    return std::make_unique<MaildirNamespace>(std::move(backend));
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
        if (error.kind == ErrorKind::NotFound)
            return nullptr; // no mail set up at all
        // A profile that is there but unusable is refused at logon, where
        // the user is told why.
        return std::make_unique<MaildirApplication>(MailProfile{}, error);
    }
    return std::make_unique<MaildirApplication>(std::move(*profile));
}

} // namespace kestrel::platform::maildir
