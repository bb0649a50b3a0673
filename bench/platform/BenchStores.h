#pragma once

#include <QString>

namespace kestrel::bench {

// Writes a Maildir++ store at `root` whose Inbox holds exactly `messages`
// generated messages (the demo-profile generator's, seeded, so every call with
// the same arguments gives the same files). Returns an error text, empty on success.
QString writeInboxStore(const QString& root, int messages, quint64 seed);

// Writes a profile naming the stores (display name, absolute path) in order.
QString writeProfile(const QString& file, const QList<QPair<QString, QString>>& stores);

} // namespace kestrel::bench
