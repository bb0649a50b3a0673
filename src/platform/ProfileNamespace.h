#pragma once

// The stores of several backends as one namespace. Each backend's namespace
// holds its own stores (less those it left out); this one logs on to all of
// them, lists their stores in profile order, and asks each in turn for an
// object by identifier. A backend whose logon fails (a server that cannot be
// reached) is left out with its reason while another one logs on.

#include "MailPlatform.h"

#include <QList>
#include <QStringList>

#include <memory>
#include <vector>

namespace kestrel::platform {

struct BackendPart {
    std::unique_ptr<Namespace> ns;
    PlatformError down; // why its logon failed; its stores are left out
};

class ProfileNamespace : public Namespace {
public:
    // A namespace whose every logon fails with refusal.
    explicit ProfileNamespace(PlatformError refusal);
    // defaultPart: the part holding the profile's default store.
    // defaultPart: the part holding the profile's default store; profileOrder:
    // every store's name, in profile order.
    ProfileNamespace(std::vector<BackendPart> parts, int defaultPart, QStringList profileOrder);

    bool logon() override;
    void logoff() override;
    std::unique_ptr<FolderCollection> folders() override;
    std::unique_ptr<Session> openSession() override;
    QList<PlatformError> unusableStores() const override;

private:
    PlatformError m_refusal;
    std::vector<BackendPart> m_parts;
    int m_defaultPart = 0;
    QStringList m_profileOrder;
    bool m_loggedOn = false;
};

} // namespace kestrel::platform
