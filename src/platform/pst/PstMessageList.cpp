#include "PstMessageList.h"

#include "../msg/PropertyAccess.h"
#include "PstBackend.h"

namespace kestrel::platform::pst {

int PstMessageSummary::codepage() const
{
    using namespace msg;
    if (const auto cp = getLong(bag.props, pid::MessageCodepage))
        return int(*cp);
    return int(getLong(bag.props, pid::InternetCodepage).value_or(1252));
}

std::optional<QString> PstMessageSummary::text(std::uint16_t id) const
{
    return msg::getString(bag.props, id, codepage());
}

std::optional<QDateTime> PstMessageSummary::time(std::uint16_t id) const
{
    return msg::getTime(bag.props, id);
}

std::optional<PstMessageList> listMessages(PstBackend& backend, int store, std::uint32_t folder,
                                           PlatformError* error)
{
    const PffItem item = backend.item(store, folder, error);
    if (!item)
        return std::nullopt;
    int count = 0;
    PffError pffError;
    if (libpff_folder_get_number_of_sub_messages(item.get(), &count, pffError.out()) != 1) {
        *error = {ErrorKind::Invalid, -1,
                  QStringLiteral("The messages of the folder cannot be read from the Outlook "
                                 "data file"),
                  pffError.text()};
        return std::nullopt;
    }
    PstMessageList list;
    list.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        auto summary = std::make_shared<PstMessageSummary>();
        libpff_item_t* raw = nullptr;
        PffError messageError;
        if (libpff_folder_get_sub_message(item.get(), i, &raw, messageError.out()) == 1 && raw) {
            const PffItem message(raw);
            libpff_item_get_identifier(raw, &summary->id, nullptr);
            summary->bag = readProperties(raw, PropertyFilter::SmallOnly);
        } else {
            summary->damage = {ErrorKind::Invalid, -1,
                               QStringLiteral("The message cannot be read from the Outlook data "
                                              "file: it is damaged"),
                               messageError.text()};
        }
        list.push_back(std::move(summary));
    }
    *error = {};
    return list;
}

} // namespace kestrel::platform::pst
