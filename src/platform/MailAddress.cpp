#include "MailAddress.h"

namespace kestrel::platform {

QString displayName(const MailAddress& address)
{
    return address.name.isEmpty() ? address.address : address.name;
}

MailAddress firstAddress(std::initializer_list<const QList<MailAddress>*> lists)
{
    for (const QList<MailAddress>* list : lists) {
        if (!list->isEmpty())
            return list->first();
    }
    return {};
}

QString receivedByName(std::initializer_list<const QList<MailAddress>*> recipients,
                       const QList<MailAddress>& to, const QList<MailAddress>& from,
                       const QString& userAddress, const QString& userName)
{
    auto isUser = [&](const MailAddress& a) {
        return !userAddress.isEmpty() && a.address.compare(userAddress, Qt::CaseInsensitive) == 0;
    };
    for (const QList<MailAddress>* list : recipients) {
        for (const MailAddress& address : *list) {
            if (isUser(address))
                return address.name.isEmpty() ? userName : address.name;
        }
    }
    if (!from.isEmpty() && isUser(from.first()))
        return QString(); // the user's own sent mail
    return to.isEmpty() ? QString() : displayName(to.first());
}

} // namespace kestrel::platform
