#include "MsgStorageWriter.h"

#include "CompoundWriter.h"
#include "NamedPropertyMap.h"

#include <QtEndian>

namespace kestrel::platform::msg {

namespace {

enum class Level { TopLevel, Embedded, Child };

constexpr std::uint32_t PropAttrReadWrite = 0x2 | 0x4;
constexpr std::uint32_t ObjectSize = 0xFFFFFFFF;

void putU32(QByteArray& out, std::uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void putU64(QByteArray& out, std::uint64_t v)
{
    char b[8];
    qToLittleEndian(v, b);
    out.append(b, 8);
}

class Writer {
public:
    Writer(CompoundWriter& out, const NamedPropertyMap& names) : m_out(out), m_names(names) {}

    bool writeMessage(const MsgObject& message, Level level)
    {
        PropertyMap props = message.props;
        for (const auto& [key, value] : message.named) {
            const auto id = m_names.idFor(key);
            if (!id)
                continue;
            Property p = value;
            p.tag = makeTag(*id, tagType(value.tag));
            props[p.tag] = std::move(p);
        }

        QByteArray header;
        header.fill('\0', 8);
        const auto recipients = std::uint32_t(message.recipients.size());
        const auto attachments = std::uint32_t(message.attachments.size());
        putU32(header, recipients);
        putU32(header, attachments);
        putU32(header, recipients);
        putU32(header, attachments);
        if (level == Level::TopLevel)
            header.append(8, '\0');

        if (!writeProperties(props, header, {}))
            return false;
        // Last first: libgsf keeps a storage's children in a sorted list, and an
        // entry that sorts before all the others goes in without a walk.
        for (std::uint32_t i = recipients; i-- > 0;) {
            if (!m_out.beginStorage(hexNamed(QStringLiteral("__recip_version1.0_#"), i)) ||
                !writeProperties(message.recipients[i], QByteArray(8, '\0'), {}) ||
                !m_out.endStorage())
                return false;
        }
        for (std::uint32_t i = attachments; i-- > 0;) {
            if (!m_out.beginStorage(hexNamed(QStringLiteral("__attach_version1.0_#"), i)) ||
                !writeAttachment(message.attachments[i]) || !m_out.endStorage())
                return false;
        }
        return true;
    }

private:
    bool writeAttachment(const AttachmentObject& attachment)
    {
        const std::uint32_t objectTag = makeTag(pid::AttachDataBin, PtObject);
        if (!attachment.embedded)
            return writeProperties(attachment.props, QByteArray(8, '\0'), {});
        if (!writeProperties(attachment.props, QByteArray(8, '\0'), objectTag))
            return false;
        return m_out.beginStorage(substgName(objectTag)) &&
               writeMessage(*attachment.embedded, Level::Embedded) && m_out.endStorage();
    }

    // The property stream, then one stream per variable-size value. `objectTag`
    // adds the entry of an embedded message, whose storage the caller writes.
    bool writeProperties(const PropertyMap& props, QByteArray stream, std::uint32_t objectTag)
    {
        PropertyMap all = props;
        if (objectTag)
            all[objectTag] = Property{objectTag, 0, {}};
        for (const auto& [tag, p] : all) {
            putU32(stream, tag);
            putU32(stream, PropAttrReadWrite);
            const std::uint16_t type = tagType(tag);
            if (isFixedType(type)) {
                putU64(stream, type == PtBoolean ? (p.fixed ? 1 : 0) : p.fixed);
                continue;
            }
            std::uint32_t size = std::uint32_t(p.data.size());
            if (type == PtUnicode)
                size += 2;
            else if (type == PtString8)
                size += 1;
            else if (type == PtObject)
                size = ObjectSize;
            putU32(stream, size);
            putU32(stream, 0);
        }
        if (!m_out.writeStream(QStringLiteral("__properties_version1.0"), stream))
            return false;
        for (const auto& [tag, p] : all) {
            const std::uint16_t type = tagType(tag);
            if (isFixedType(type) || type == PtObject)
                continue;
            if (!m_out.writeStream(substgName(tag), p.data))
                return false;
        }
        return true;
    }

    CompoundWriter& m_out;
    const NamedPropertyMap& m_names;
};

} // namespace

std::optional<QByteArray> writeMsgObject(const MsgObject& message, QString* error)
{
    // {00020D0B-0000-0000-C000-000000000046}: an Outlook message file.
    static const QByteArray messageClsid = QByteArray::fromHex("0B0D020000000000C000000000000046");
    NamedPropertyMap names;
    names.collect(message);
    CompoundWriter out;
    Writer writer(out, names);
    bool ok = out.setRootClassId(messageClsid) && names.write(out) &&
              writer.writeMessage(message, Level::TopLevel);
    std::optional<QByteArray> bytes;
    if (ok)
        bytes = out.finish();
    if (!bytes && error)
        *error = out.errorText();
    return bytes;
}

} // namespace kestrel::platform::msg
