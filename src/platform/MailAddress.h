#pragma once

// A message's address as every backend hands it out, and the readings of
// address lists that the item getters share.

#include <QList>
#include <QString>

#include <initializer_list>

namespace kestrel::platform {

struct MailAddress {
    QString name;    // decoded display name, may be empty
    QString address; // addr-spec
};

// The name, else the address.
QString displayName(const MailAddress& address);

// The first address of the first list that has one; an empty one when none has.
MailAddress firstAddress(std::initializer_list<const QList<MailAddress>*> lists);

// The name the profile's user received the message under: the name on the
// user's address among recipients (the user's own name when it has none); ""
// for the user's own sent mail; else the first To address's.
QString receivedByName(std::initializer_list<const QList<MailAddress>*> recipients,
                       const QList<MailAddress>& to, const QList<MailAddress>& from,
                       const QString& userAddress, const QString& userName);

} // namespace kestrel::platform
