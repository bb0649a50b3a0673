#include "ProfileNamespace.h"

#include <algorithm>
#include <utility>

namespace kestrel::platform {

namespace {

// The stores of every part, in profile order.
class ProfileStores : public FolderCollection {
public:
    explicit ProfileStores(std::vector<std::unique_ptr<FolderCollection>> parts,
                           QList<std::pair<int, int>> order)
        : m_parts(std::move(parts)), m_order(std::move(order))
    {
    }

    std::optional<int> count() override
    {
        clearError();
        return int(m_order.size());
    }

    std::unique_ptr<Folder> item(int position) override
    {
        if (position < 1 || position > m_order.size()) {
            setError(ErrorKind::NotFound, QStringLiteral("No folder at this position"),
                     QString::number(position));
            return nullptr;
        }
        const auto [part, local] = m_order.at(position - 1);
        return answer(*m_parts[size_t(part)], m_parts[size_t(part)]->item(local));
    }

    std::unique_ptr<Folder> item(const QString& name) override
    {
        for (const auto& part : m_parts) {
            if (!part)
                continue;
            if (std::unique_ptr<Folder> store = part->item(name)) {
                clearError();
                return store;
            }
        }
        setError(ErrorKind::NotFound, QStringLiteral("The folder does not exist"), name);
        return nullptr;
    }

    std::unique_ptr<Folder> add(const QString& name) override
    {
        setError(ErrorKind::Unsupported, QStringLiteral("Stores are added in the mail profile"),
                 name);
        return nullptr;
    }

private:
    std::unique_ptr<Folder> answer(FolderCollection& from, std::unique_ptr<Folder> folder)
    {
        if (folder)
            clearError();
        else
            setError(from.lastError());
        return folder;
    }

    std::vector<std::unique_ptr<FolderCollection>> m_parts;
    QList<std::pair<int, int>> m_order; // part, 1-based position within it
};

// Identifiers belong to one backend: each part is asked until one knows it.
class ProfileSession : public Session {
public:
    ProfileSession(std::vector<std::unique_ptr<Session>> parts, int defaultPart)
        : m_parts(std::move(parts)), m_defaultPart(defaultPart)
    {
    }

    std::unique_ptr<Folder> getFolderFromId(const QString& entryId) override
    {
        return firstAnswer([&](Session& s) { return s.getFolderFromId(entryId); });
    }

    std::unique_ptr<MailItem> getMessageFromId(const QString& entryId) override
    {
        return firstAnswer([&](Session& s) { return s.getMessageFromId(entryId); });
    }

    std::optional<QString> defaultStoreId() override
    {
        return pass(m_parts[size_t(m_defaultPart)]->defaultStoreId());
    }

    std::optional<QString> currentUserAddress() override
    {
        return pass(m_parts[size_t(m_defaultPart)]->currentUserAddress());
    }

private:
    template <typename Ask> auto firstAnswer(Ask ask) -> decltype(ask(std::declval<Session&>()))
    {
        PlatformError first;
        for (const auto& part : m_parts) {
            if (auto found = ask(*part)) {
                clearError();
                return found;
            }
            // A backend that knows the identifier says more than NotFound.
            if (first.ok() || (first.kind == ErrorKind::NotFound &&
                               part->lastError().kind != ErrorKind::NotFound))
                first = part->lastError();
        }
        setError(first);
        return nullptr;
    }

    std::optional<QString> pass(std::optional<QString> value)
    {
        if (value)
            clearError();
        else
            setError(m_parts[size_t(m_defaultPart)]->lastError());
        return value;
    }

    std::vector<std::unique_ptr<Session>> m_parts;
    int m_defaultPart = 0;
};

} // namespace

ProfileNamespace::ProfileNamespace(PlatformError refusal) : m_refusal(std::move(refusal)) {}

ProfileNamespace::ProfileNamespace(std::vector<BackendPart> parts, int defaultPart,
                                   QStringList profileOrder)
    : m_parts(std::move(parts)), m_defaultPart(defaultPart), m_profileOrder(std::move(profileOrder))
{
}

bool ProfileNamespace::logon()
{
    m_loggedOn = false;
    if (!m_refusal.ok()) {
        setError(m_refusal);
        return false;
    }
    const PlatformError* firstDown = nullptr;
    bool anyUp = false;
    for (BackendPart& part : m_parts) {
        part.down = {};
        if (part.ns->logon()) {
            anyUp = true;
            continue;
        }
        part.down = part.ns->lastError();
        if (part.down.ok())
            part.down = {ErrorKind::Io, -1, QStringLiteral("A store cannot be opened"), {}};
        if (!firstDown)
            firstDown = &part.down;
    }
    if (!anyUp && firstDown) {
        setError(*firstDown);
        return false;
    }
    m_loggedOn = true;
    clearError();
    return true;
}

void ProfileNamespace::logoff()
{
    for (const BackendPart& part : m_parts)
        part.ns->logoff();
    m_loggedOn = false;
    clearError();
}

std::unique_ptr<FolderCollection> ProfileNamespace::folders()
{
    if (!m_loggedOn && !logon())
        return nullptr;
    std::vector<std::unique_ptr<FolderCollection>> collections;
    // A backend may have left some of its stores out: list what each lists.
    QList<std::pair<int, std::pair<int, int>>> listed; // profile position, part, local
    for (size_t k = 0; k < m_parts.size(); ++k) {
        if (!m_parts[k].down.ok()) {
            collections.push_back(nullptr); // keeps part numbers
            continue;
        }
        std::unique_ptr<FolderCollection> stores = m_parts[k].ns->folders();
        const std::optional<int> count = stores ? stores->count() : std::nullopt;
        if (!count) {
            setError(stores ? stores->lastError() : m_parts[k].ns->lastError());
            return nullptr;
        }
        for (int local = 1; local <= *count; ++local) {
            const std::unique_ptr<Folder> store = stores->item(local);
            const int position =
                store ? int(m_profileOrder.indexOf(store->name().value_or(QString()))) : -1;
            listed.append({position < 0 ? int(m_profileOrder.size()) : position, {int(k), local}});
        }
        collections.push_back(std::move(stores));
    }
    std::stable_sort(listed.begin(), listed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<std::pair<int, int>> order;
    for (const auto& entry : listed)
        order.append(entry.second);
    clearError();
    return std::make_unique<ProfileStores>(std::move(collections), std::move(order));
}

std::unique_ptr<Session> ProfileNamespace::openSession()
{
    if (!m_loggedOn && !logon())
        return nullptr;
    std::vector<std::unique_ptr<Session>> sessions;
    int defaultPart = -1;
    for (size_t k = 0; k < m_parts.size(); ++k) {
        const BackendPart& part = m_parts[k];
        if (!part.down.ok())
            continue;
        if (int(k) == m_defaultPart || defaultPart < 0)
            defaultPart = int(sessions.size());
        std::unique_ptr<Session> session = part.ns->openSession();
        if (!session) {
            setError(part.ns->lastError());
            return nullptr;
        }
        sessions.push_back(std::move(session));
    }
    clearError();
    return std::make_unique<ProfileSession>(std::move(sessions), std::max(defaultPart, 0));
}

QList<PlatformError> ProfileNamespace::unusableStores() const
{
    QList<PlatformError> leftOut;
    for (const BackendPart& part : m_parts) {
        if (!part.down.ok())
            leftOut.append(part.down);
        else
            leftOut += part.ns->unusableStores();
    }
    return leftOut;
}

} // namespace kestrel::platform
