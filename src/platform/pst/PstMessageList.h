#pragma once

// The messages of one folder of an Outlook data file, each with the small
// properties that the folder listing, the date filter and the item getters
// read (bodies and attachments are read only when a message is copied).

#include "../PlatformError.h"
#include "PstProperties.h"

#include <QDateTime>

#include <memory>
#include <vector>

namespace kestrel::platform::pst {

class PstBackend;

struct PstMessageSummary {
    std::uint32_t id = 0;
    PropertyBag bag;
    PlatformError damage; // set when the message cannot be read

    int codepage() const;
    std::optional<QString> text(std::uint16_t id) const;
    std::optional<QDateTime> time(std::uint16_t id) const;
};

using PstMessageList = std::vector<std::shared_ptr<const PstMessageSummary>>;

// The folder's messages in the file's order. A message that cannot be read
// is listed with its damage, so that acting on it fails and is counted.
std::optional<PstMessageList> listMessages(PstBackend& backend, int store, std::uint32_t folder,
                                           PlatformError* error);

} // namespace kestrel::platform::pst
