#pragma once

// Backends by the names a store's Type= gives them, and the application over
// the mail profile that opens each store with its backend.

#include "MailPlatform.h"
#include "MailProfile.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace kestrel::platform {

// Opens the stores of one backend (a profile holding only those, in profile
// order, with defaultStore -1 when the default store is another backend's)
// as a namespace of their own.
using BackendOpener = std::function<std::unique_ptr<Namespace>(const MailProfile& stores)>;

class BackendRegistry {
public:
    // A later entry of the same name replaces the earlier one.
    void add(const QString& type, BackendOpener open);
    // nullptr for a name no backend has.
    const BackendOpener* find(const QString& type) const;

private:
    QList<std::pair<QString, BackendOpener>> m_backends;
};

// The backends this program is built with (one list file,
// backends/InstalledBackends.cpp, in the library kestrel_backends).
const BackendRegistry& installedBackends();

// The application over the profile at MailProfile::location(). Returns nullptr
// (and says why on stderr) when there is no profile; an unusable one, or one
// naming a store type no backend has, gives an application whose logon fails
// with the reason.
std::unique_ptr<Application>
createApplication(const BackendRegistry& backends = installedBackends());

} // namespace kestrel::platform
