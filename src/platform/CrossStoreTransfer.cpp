// Moving and copying between backends through the raw message.

#include "MailPlatform.h"

namespace kestrel::platform {

std::unique_ptr<MailItem> Folder::append(const RawMessage&)
{
    setError(ErrorKind::Unsupported, QStringLiteral("This folder cannot take messages of other "
                                                    "stores"));
    return nullptr;
}

std::optional<RawMessage> MailItem::rawMessage()
{
    setError(ErrorKind::Unsupported, QStringLiteral("This message cannot leave its store"));
    return std::nullopt;
}

namespace {

std::unique_ptr<MailItem> appendTo(MailItem& item, Folder& destination, PlatformError* error)
{
    std::optional<RawMessage> raw = item.rawMessage();
    if (!raw) {
        *error = item.lastError();
        return nullptr;
    }
    std::unique_ptr<MailItem> stored = destination.append(*raw);
    if (!stored)
        *error = destination.lastError();
    return stored;
}

} // namespace

std::unique_ptr<MailItem> moveAcross(MailItem& item, Folder& destination, PlatformError* error)
{
    std::unique_ptr<MailItem> stored = appendTo(item, destination, error);
    if (!stored)
        return nullptr;
    if (!item.deletePermanently()) {
        // Both copies exist now: better than none, but the move did not happen.
        *error = item.lastError();
        error->text = QStringLiteral("The message was copied but cannot be removed from its "
                                     "folder; the copy stays in the destination: ") +
                      error->text;
        return nullptr;
    }
    *error = {};
    return stored;
}

std::unique_ptr<MailItem> copyAcross(MailItem& item, Folder& destination, PlatformError* error)
{
    std::unique_ptr<MailItem> copy = appendTo(item, destination, error);
    if (copy)
        *error = {};
    return copy;
}

} // namespace kestrel::platform
