#include "MsgLimits.h"

namespace kestrel::platform::msg {

namespace {

// Counts what the reader counts, and the bytes the values take in the file.
class Tally {
public:
    std::optional<QString> walk(const MsgObject& message, int depth)
    {
        if (depth > limits::MaxDepth)
            return QStringLiteral("embedded messages nested more than %1 deep")
                .arg(limits::MaxDepth);
        if (message.recipients.size() > size_t(limits::MaxRecipients))
            return QStringLiteral("%1 recipients, more than the %2 a file may hold")
                .arg(message.recipients.size())
                .arg(limits::MaxRecipients);
        if (message.attachments.size() > size_t(limits::MaxAttachments))
            return QStringLiteral("%1 attachments, more than the %2 a file may hold")
                .arg(message.attachments.size())
                .arg(limits::MaxAttachments);
        m_objects += qint64(message.recipients.size() + message.attachments.size());
        if (m_objects > limits::MaxObjects)
            return QStringLiteral("more than %1 recipients and attachments in all")
                .arg(limits::MaxObjects);
        if (auto why = add(message.props, message.named.size()))
            return why;
        for (const PropertyMap& row : message.recipients) {
            if (auto why = add(row, 0))
                return why;
        }
        for (const AttachmentObject& attachment : message.attachments) {
            if (auto why = add(attachment.props, 0))
                return why;
            if (attachment.embedded) {
                if (auto why = walk(*attachment.embedded, depth + 1))
                    return why;
            }
        }
        return std::nullopt;
    }

private:
    std::optional<QString> add(const PropertyMap& props, size_t named)
    {
        if (props.size() + named > size_t(limits::MaxProperties))
            return QStringLiteral("more than %1 properties in one object")
                .arg(limits::MaxProperties);
        // A directory entry and a property entry per value, the value rounded up to
        // whole sectors: the file is never smaller than this.
        for (const auto& [tag, p] : props)
            m_bytes += 128 + 16 + (p.data.size() + 63) / 64 * 64;
        if (m_bytes > limits::MaxFileSize)
            return QStringLiteral("the file would exceed %1 MB").arg(limits::MaxFileSize >> 20);
        return std::nullopt;
    }

    qint64 m_objects = 0;
    qint64 m_bytes = 0;
};

} // namespace

std::optional<QString> exceedsLimits(const MsgObject& message)
{
    return Tally().walk(message, 0);
}

} // namespace kestrel::platform::msg
