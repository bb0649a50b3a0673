#pragma once

// An item of an Outlook data file as the .msg codec's property model: every
// property of the message, its recipient rows, its attachments and the
// messages embedded in them, with named properties keyed by their names. From
// there the codec writes a .msg file or a MIME message, so both keep what the
// data file holds.

#include "../PlatformError.h"
#include "../msg/MsgObject.h"

#include <libpff.h>
#include <optional>

namespace kestrel::platform::pst {

enum class PropertyFilter {
    All,
    // Only values of a few KiB at most: the facts a folder listing needs,
    // without bodies and attachment data.
    SmallOnly,
};

struct PropertyBag {
    msg::PropertyMap props;
    std::map<msg::NamedKey, msg::Property> named;
};

// The properties of the item's first record set. Values libpff cannot read
// are left out; the others are kept as they are stored.
PropertyBag readProperties(libpff_item_t* item, PropertyFilter filter);
inline msg::PropertyMap readPropertyMap(libpff_item_t* item, PropertyFilter filter)
{
    return readProperties(item, filter).props;
}

// The whole message. A damaged part fails it (nullopt and *error) rather
// than giving a message with something missing.
std::optional<msg::MsgObject> readMessage(libpff_item_t* message, PlatformError* error);

} // namespace kestrel::platform::pst
