#include "PstItemCollection.h"

#include "../msg/MsgObject.h"
#include "PstMailItem.h"

namespace kestrel::platform::pst {

PstItemCollection::PstItemCollection(std::shared_ptr<PstBackend> backend, int store,
                                     std::uint32_t folder)
    : m_backend(std::move(backend)), m_store(store), m_folder(folder)
{
}

const PstMessageList* PstItemCollection::list()
{
    if (!m_list) {
        PlatformError error;
        std::optional<PstMessageList> listed = listMessages(*m_backend, m_store, m_folder, &error);
        if (!listed) {
            setError(error);
            return nullptr;
        }
        m_list = std::make_shared<const PstMessageList>(std::move(*listed));
    }
    clearError();
    return m_list.get();
}

std::unique_ptr<ItemCollection> PstItemCollection::restrict(const QString& filter)
{
    QString problem;
    const std::optional<DateRestriction> restriction = DateRestriction::parse(filter, &problem);
    if (!restriction) {
        setError(ErrorKind::Invalid, QStringLiteral("The filter cannot be read"), problem);
        return nullptr;
    }
    const PstMessageList* all = list();
    if (!all)
        return nullptr;
    PstMessageList matching;
    for (const auto& summary : *all) {
        const auto valueOf = [&summary](DateProperty property) -> std::optional<qint64> {
            const std::optional<QDateTime> time = summaryDate(*summary, property);
            return time ? std::optional<qint64>(time->toMSecsSinceEpoch()) : std::nullopt;
        };
        // A damaged message matches every range: acting on it fails and is counted.
        if (!summary->damage.ok() || restriction->matches(valueOf))
            matching.push_back(summary);
    }
    auto restricted = std::make_unique<PstItemCollection>(m_backend, m_store, m_folder);
    restricted->m_list = std::make_shared<const PstMessageList>(std::move(matching));
    clearError();
    return restricted;
}

std::optional<qint64> PstItemCollection::count()
{
    const PstMessageList* all = list();
    if (!all)
        return std::nullopt;
    return qint64(all->size());
}

std::unique_ptr<MailItem> PstItemCollection::item(qint64 index)
{
    const PstMessageList* all = list();
    if (!all)
        return nullptr;
    if (index < 1 || index > qint64(all->size())) {
        setError(ErrorKind::NotFound, QStringLiteral("No item at this position"),
                 QString::number(index));
        return nullptr;
    }
    return std::make_unique<PstMailItem>(m_backend, m_store, m_folder,
                                         all->at(std::size_t(index - 1)));
}

} // namespace kestrel::platform::pst
