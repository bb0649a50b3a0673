#pragma once

// One folder of N small messages for the scale benchmark, written once and
// reused: DIR/N/store (its Inbox holds the messages), DIR/N/archive (empty)
// and DIR/N/profile.ini naming both. A stamp file says the store is complete
// and of this writer's format; a Move changes the store, so its messages are
// renamed back afterwards (and on the next start, if a run was cut short).

#include <QString>

namespace kestrel::bench {

class ScaleStore {
public:
    ScaleStore(const QString& baseDir, int messages);

    // Uses the store when its stamp matches, else writes it anew. False with
    // lastError() when it cannot be written or repaired.
    bool prepare(bool* written = nullptr);
    // Renames every message the archive holds back into the store's Inbox.
    // Returns how many were put back, -1 on a failure.
    qint64 restore();
    // Messages in the store's Inbox (readdir of cur/ and new/), -1 on a failure.
    qint64 countInbox() const;

    QString storeDir() const { return m_root + QStringLiteral("/store"); }
    QString archiveDir() const { return m_root + QStringLiteral("/archive"); }
    QString profile() const { return m_root + QStringLiteral("/profile.ini"); }
    int messages() const { return m_messages; }
    // How many messages have a received and a sent date in the bench range.
    int inRange() const;
    const QString& lastError() const { return m_error; }

private:
    bool stampMatches() const;
    bool write();
    bool fail(const QString& text);

    QString m_root;
    int m_messages;
    QString m_error;
};

} // namespace kestrel::bench
