#pragma once

#include "DoveadmHarness.h"
#include "platform/MailPlatform.h"

#include <QStringList>

namespace kestrel::test {

// One line per message, sorted: "subject|unread|noaging|received-seconds", as
// our backend sees a folder and as doveadm sees the same mailbox, so that the
// two can be compared whole. Subjects must be plain ASCII and unique.
QStringList backendView(platform::Folder& folder);
QStringList dovecotView(const DoveadmHarness& doveadm, const QString& mailbox);

// The Dovecot mailbox name of a folder path below a store root
// ("Inbox\Clients" -> "INBOX.Clients", "Q1/Q2" -> "Q1%2FQ2").
QString dovecotMailboxName(const QStringList& path);

} // namespace kestrel::test
