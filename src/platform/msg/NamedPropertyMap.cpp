#include "NamedPropertyMap.h"

#include "CompoundReader.h"
#include "CompoundWriter.h"

#include <QtEndian>

namespace kestrel::platform::msg {

namespace {

// GUID indexes 1 and 2 are PS_MAPI and PS_PUBLIC_STRINGS; stored GUIDs start at 3.
constexpr std::uint16_t FirstStoredGuid = 3;
constexpr std::uint16_t FirstNamedId = 0x8000;
constexpr int MaxNamedProperties = 0x7FFE;
const QString StorageName = QStringLiteral("__nameid_version1.0");

void putU32(QByteArray& out, std::uint32_t v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

std::uint32_t u32At(const QByteArray& data, qsizetype offset)
{
    return qFromLittleEndian<std::uint32_t>(data.constData() + offset);
}

void collectInto(const MsgObject& message, std::map<NamedKey, std::uint16_t>& ids, int depth)
{
    if (depth > 64)
        return;
    for (const auto& [key, prop] : message.named)
        ids.emplace(key, 0);
    for (const auto& attachment : message.attachments) {
        if (attachment.embedded)
            collectInto(*attachment.embedded, ids, depth + 1);
    }
}

} // namespace

void NamedPropertyMap::collect(const MsgObject& message)
{
    collectInto(message, m_ids, 0);
    std::uint16_t next = FirstNamedId;
    for (auto& [key, id] : m_ids) {
        id = next++;
        m_keys[id] = key;
    }
}

std::optional<std::uint16_t> NamedPropertyMap::idFor(const NamedKey& key) const
{
    auto it = m_ids.find(key);
    if (it == m_ids.end())
        return std::nullopt;
    return it->second;
}

bool NamedPropertyMap::write(CompoundWriter& out) const
{
    QByteArray guids;
    std::map<QByteArray, std::uint16_t> guidIndex;
    QByteArray entries;
    std::map<std::uint32_t, QByteArray> buckets; // stream ID -> entries

    for (const auto& [id, key] : m_keys) {
        auto g = guidIndex.find(key.guid);
        if (g == guidIndex.end()) {
            g = guidIndex.emplace(key.guid, std::uint16_t(FirstStoredGuid + guidIndex.size()))
                    .first;
            guids.append(key.guid);
        }
        const std::uint32_t propertyIndex = id - FirstNamedId;
        // Kind bit 0 = numeric name; GUID index in bits 1..15; property index above.
        const std::uint32_t indexAndKind = (propertyIndex << 16) | (std::uint32_t(g->second) << 1);
        putU32(entries, key.lid);
        putU32(entries, indexAndKind);
        const std::uint32_t streamId =
            0x1000 + ((key.lid ^ (std::uint32_t(g->second) << 1)) % 0x1F);
        putU32(buckets[streamId], key.lid);
        putU32(buckets[streamId], indexAndKind);
    }

    if (!out.beginStorage(StorageName))
        return false;
    bool ok = out.writeStream(QStringLiteral("__substg1.0_00020102"), guids) &&
              out.writeStream(QStringLiteral("__substg1.0_00030102"), entries) &&
              out.writeStream(QStringLiteral("__substg1.0_00040102"), QByteArray());
    for (const auto& [streamId, bytes] : buckets) {
        if (!ok)
            break;
        ok = out.writeStream(substgName(makeTag(std::uint16_t(streamId), PtBinary)), bytes);
    }
    return out.endStorage() && ok;
}

bool NamedPropertyMap::read(CompoundReader& in, const CompoundReader::Storage& root)
{
    auto storage = in.storage(root, StorageName);
    if (!storage)
        return false;
    const QByteArray guids =
        in.stream(storage, QStringLiteral("__substg1.0_00020102")).value_or(QByteArray());
    const QByteArray entries =
        in.stream(storage, QStringLiteral("__substg1.0_00030102")).value_or(QByteArray());
    static const QByteArray psMapi = QByteArray::fromHex("2803020000000000C000000000000046");
    static const QByteArray psPublicStrings =
        QByteArray::fromHex("2903020000000000C000000000000046");

    const qsizetype count = std::min<qsizetype>(entries.size() / 8, MaxNamedProperties);
    for (qsizetype i = 0; i < count; ++i) {
        const std::uint32_t nameOrOffset = u32At(entries, i * 8);
        const std::uint32_t indexAndKind = u32At(entries, i * 8 + 4);
        if (indexAndKind & 1)
            continue; // string-named: not used by the codec
        const std::uint32_t guidIndex = (indexAndKind >> 1) & 0x7FFF;
        const std::uint32_t propertyIndex = indexAndKind >> 16;
        if (propertyIndex >= std::uint32_t(MaxNamedProperties))
            continue;
        NamedKey key;
        key.lid = nameOrOffset;
        if (guidIndex == 1) {
            key.guid = psMapi;
        } else if (guidIndex == 2) {
            key.guid = psPublicStrings;
        } else if (guidIndex >= FirstStoredGuid) {
            const qsizetype at = qsizetype(guidIndex - FirstStoredGuid) * 16;
            if (at + 16 > guids.size())
                continue;
            key.guid = guids.mid(at, 16);
        } else {
            continue;
        }
        const auto id = std::uint16_t(FirstNamedId + propertyIndex);
        m_keys[id] = key;
        m_ids[key] = id;
    }
    return true;
}

std::optional<NamedKey> NamedPropertyMap::keyFor(std::uint16_t id) const
{
    auto it = m_keys.find(id);
    if (it == m_keys.end())
        return std::nullopt;
    return it->second;
}

} // namespace kestrel::platform::msg
