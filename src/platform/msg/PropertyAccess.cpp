#include "PropertyAccess.h"

#include "Charsets.h"

#include <cstring>

namespace kestrel::platform::msg {

namespace {

// 100 ns ticks between 1601-01-01 and 1970-01-01.
constexpr std::int64_t EpochDelta = 116444736000000000LL;

const Property* find(const PropertyMap& props, std::uint16_t id, std::uint16_t type)
{
    auto it = props.find(makeTag(id, type));
    return it == props.end() ? nullptr : &it->second;
}

} // namespace

void setUnicode(PropertyMap& props, std::uint16_t id, const QString& value)
{
    props.erase(makeTag(id, PtString8));
    Property p;
    p.tag = makeTag(id, PtUnicode);
    p.data = QByteArray(reinterpret_cast<const char*>(value.utf16()), value.size() * 2);
    props[p.tag] = std::move(p);
}

void setLong(PropertyMap& props, std::uint16_t id, std::uint32_t value)
{
    props[makeTag(id, PtLong)] = Property{makeTag(id, PtLong), value, {}};
}

void setBool(PropertyMap& props, std::uint16_t id, bool value)
{
    props[makeTag(id, PtBoolean)] = Property{makeTag(id, PtBoolean), value ? 1u : 0u, {}};
}

void setTime(PropertyMap& props, std::uint16_t id, const QDateTime& value)
{
    if (!value.isValid())
        return;
    props[makeTag(id, PtSysTime)] = Property{makeTag(id, PtSysTime), toFileTime(value), {}};
}

void setBinary(PropertyMap& props, std::uint16_t id, const QByteArray& value)
{
    props[makeTag(id, PtBinary)] = Property{makeTag(id, PtBinary), 0, value};
}

std::optional<QString> getString(const PropertyMap& props, std::uint16_t id, int codepage)
{
    if (const Property* p = find(props, id, PtUnicode)) {
        QString s = QString::fromUtf16(reinterpret_cast<const char16_t*>(p->data.constData()),
                                       p->data.size() / 2);
        // Writers differ on whether the stream carries the terminator.
        while (s.endsWith(QChar(0)))
            s.chop(1);
        return s;
    }
    if (const Property* p = find(props, id, PtString8)) {
        QByteArray bytes = p->data;
        while (bytes.endsWith('\0'))
            bytes.chop(1);
        return decodeCodepage(bytes, codepage);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> getLong(const PropertyMap& props, std::uint16_t id)
{
    if (const Property* p = find(props, id, PtLong))
        return std::uint32_t(p->fixed);
    if (const Property* p = find(props, id, PtShort))
        return std::uint32_t(p->fixed & 0xFFFF);
    return std::nullopt;
}

std::optional<bool> getBool(const PropertyMap& props, std::uint16_t id)
{
    if (const Property* p = find(props, id, PtBoolean))
        return (p->fixed & 0xFFFF) != 0;
    return std::nullopt;
}

std::optional<QDateTime> getTime(const PropertyMap& props, std::uint16_t id)
{
    if (const Property* p = find(props, id, PtSysTime)) {
        QDateTime t = fromFileTime(p->fixed);
        if (t.isValid())
            return t;
    }
    return std::nullopt;
}

std::optional<QByteArray> getBinary(const PropertyMap& props, std::uint16_t id)
{
    if (const Property* p = find(props, id, PtBinary))
        return p->data;
    return std::nullopt;
}

std::uint64_t toFileTime(const QDateTime& time)
{
    return std::uint64_t(time.toMSecsSinceEpoch() * 10000 + EpochDelta);
}

QDateTime fromFileTime(std::uint64_t fileTime)
{
    // 0 and 0x7FFF... / 0xFFFF... mean "none"; keep to years Qt and MIME can carry.
    if (fileTime == 0 || fileTime >= 0x7FFFFFFFFFFFFFFFULL)
        return {};
    const std::int64_t ms = (std::int64_t(fileTime) - EpochDelta) / 10000;
    constexpr std::int64_t year1601 = -11644473600000LL;
    constexpr std::int64_t year9999 = 253402300799000LL;
    if (ms < year1601 || ms > year9999)
        return {};
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

} // namespace kestrel::platform::msg
