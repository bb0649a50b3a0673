#include "PstEntryId.h"

#include <QStringList>

namespace kestrel::platform::pst {

namespace {

const QLatin1String kPrefix("kmk-pst");

std::optional<std::uint32_t> number(const QString& text)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value == 0 || value > 0xffffffffULL)
        return std::nullopt;
    return std::uint32_t(value);
}

} // namespace

QString PstEntryId::toString() const
{
    const QString storeField = QString::fromLatin1(store.toUtf8().toPercentEncoding());
    switch (kind) {
    case Kind::Store:
        return kPrefix + QStringLiteral(":store:") + storeField;
    case Kind::Folder:
        return kPrefix + QStringLiteral(":folder:") + storeField + ':' + QString::number(folder);
    case Kind::Message:
        return kPrefix + QStringLiteral(":msg:") + storeField + ':' + QString::number(folder) +
               ':' + QString::number(message);
    }
    return {};
}

std::optional<PstEntryId> PstEntryId::parse(const QString& text)
{
    const QStringList parts = text.split(':');
    if (parts.size() < 3 || parts[0] != kPrefix)
        return std::nullopt;
    PstEntryId id;
    id.store = QString::fromUtf8(QByteArray::fromPercentEncoding(parts[2].toLatin1()));
    if (id.store.isEmpty())
        return std::nullopt;
    const auto field = [&parts](int i) { return number(parts[i]); };
    if (parts[1] == QLatin1String("store") && parts.size() == 3) {
        id.kind = Kind::Store;
        return id;
    }
    if (parts[1] == QLatin1String("folder") && parts.size() == 4 && field(3)) {
        id.kind = Kind::Folder;
        id.folder = *field(3);
        return id;
    }
    if (parts[1] == QLatin1String("msg") && parts.size() == 5 && field(3) && field(4)) {
        id.kind = Kind::Message;
        id.folder = *field(3);
        id.message = *field(4);
        return id;
    }
    return std::nullopt;
}

} // namespace kestrel::platform::pst
