#include "ImapEntryId.h"

#include <QStringList>

namespace kestrel::platform::imap {

namespace {

const QLatin1String kPrefix("kmk-imap");

QString encode(const QByteArray& field)
{
    return QString::fromLatin1(field.toPercentEncoding());
}

std::optional<uint32_t> number(const QString& text)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value == 0 || value > 0xffffffffULL)
        return std::nullopt;
    return uint32_t(value);
}

} // namespace

QString ImapEntryId::toString() const
{
    const QString storeField = encode(store.toUtf8());
    switch (kind) {
    case Kind::Store:
        return kPrefix + QStringLiteral(":store:") + storeField;
    case Kind::Folder:
        return kPrefix + QStringLiteral(":folder:") + storeField + ':' + encode(mailbox);
    case Kind::Message:
        return kPrefix + QStringLiteral(":msg:") + storeField + ':' + encode(mailbox) + ':' +
               QString::number(validity) + ':' + QString::number(uid);
    }
    return {};
}

std::optional<ImapEntryId> ImapEntryId::parse(const QString& text)
{
    const QStringList parts = text.split(':');
    if (parts.size() < 3 || parts[0] != kPrefix)
        return std::nullopt;
    ImapEntryId id;
    id.store = QString::fromUtf8(QByteArray::fromPercentEncoding(parts[2].toLatin1()));
    if (id.store.isEmpty())
        return std::nullopt;
    if (parts.size() > 3)
        id.mailbox = QByteArray::fromPercentEncoding(parts[3].toLatin1());
    if (parts[1] == QLatin1String("store") && parts.size() == 3) {
        id.kind = Kind::Store;
    } else if (parts[1] == QLatin1String("folder") && parts.size() == 4) {
        id.kind = Kind::Folder;
    } else if (parts[1] == QLatin1String("msg") && parts.size() == 6) {
        id.kind = Kind::Message;
        const std::optional<uint32_t> validity = number(parts[4]);
        const std::optional<uint32_t> uid = number(parts[5]);
        if (!validity || !uid || id.mailbox.isEmpty())
            return std::nullopt;
        id.validity = *validity;
        id.uid = *uid;
    } else {
        return std::nullopt;
    }
    return id;
}

QString ImapEntryId::forStore(const QString& store)
{
    return ImapEntryId{Kind::Store, store, {}, 0, 0}.toString();
}

QString ImapEntryId::forFolder(const QString& store, const QByteArray& mailbox)
{
    return ImapEntryId{Kind::Folder, store, mailbox, 0, 0}.toString();
}

QString ImapEntryId::forMessage(const QString& store, const QByteArray& mailbox, uint32_t validity,
                                uint32_t uid)
{
    return ImapEntryId{Kind::Message, store, mailbox, validity, uid}.toString();
}

} // namespace kestrel::platform::imap
