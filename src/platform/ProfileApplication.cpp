#include "ProfileApplication.h"

#include "ProfileNamespace.h"

namespace kestrel::platform {

ProfileApplication::ProfileApplication(MailProfile profile, BackendRegistry backends,
                                       PlatformError refusal)
    : m_profile(std::move(profile)), m_backends(std::move(backends)), m_refusal(std::move(refusal))
{
}

std::unique_ptr<Namespace> ProfileApplication::getNamespace(const QString& type)
{
    if (type != QLatin1String("MAPI")) {
        setError(ErrorKind::Unsupported, QStringLiteral("Unknown namespace"), type);
        return nullptr;
    }
    clearError();
    if (!m_refusal.ok())
        return std::make_unique<ProfileNamespace>(m_refusal);

    // One part per backend, in the order their first stores come.
    QStringList types;
    std::vector<MailProfile> subsets;
    std::vector<BackendPart> parts;
    int defaultPart = 0;
    for (int i = 0; i < m_profile.stores.size(); ++i) {
        const StoreEntry& store = m_profile.stores[i];
        if (!m_backends.find(store.type)) {
            return std::make_unique<ProfileNamespace>(PlatformError{
                ErrorKind::Unsupported, -1,
                QStringLiteral("The store \"%1\" is of the type \"%2\", which this program "
                               "cannot open")
                    .arg(store.name, store.type),
                store.path});
        }
        qsizetype part = types.indexOf(store.type);
        if (part < 0) {
            part = types.size();
            types.append(store.type);
            MailProfile subset;
            subset.userName = m_profile.userName;
            subset.userAddress = m_profile.userAddress;
            subsets.push_back(subset);
            parts.push_back({});
        }
        if (i == m_profile.defaultStore) {
            subsets[part].defaultStore = int(subsets[part].stores.size());
            defaultPart = int(part);
        }
        subsets[part].stores.append(store);
    }
    for (size_t k = 0; k < parts.size(); ++k) {
        parts[k].ns = (*m_backends.find(types[qsizetype(k)]))(subsets[k]);
        if (!parts[k].ns) {
            return std::make_unique<ProfileNamespace>(
                PlatformError{ErrorKind::Unsupported,
                              -1,
                              QStringLiteral("The stores of the type \"%1\" cannot be opened")
                                  .arg(types[qsizetype(k)]),
                              {}});
        }
    }
    if (parts.empty()) {
        return std::make_unique<ProfileNamespace>(
            PlatformError{ErrorKind::Invalid, -1, QStringLiteral("The mail profile names no store"),
                          MailProfile::location()});
    }
    if (parts.size() == 1)
        return std::move(parts.front().ns); // one backend: nothing to join
    QStringList order;
    for (const StoreEntry& store : m_profile.stores)
        order.append(store.name);
    return std::make_unique<ProfileNamespace>(std::move(parts), defaultPart, order);
}

void ProfileApplication::quit()
{
    clearError(); // nothing runs beside us that could be asked to close
}

} // namespace kestrel::platform
