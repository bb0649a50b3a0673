#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kestrel::demo {

struct StoredFlags {
    bool seen = false;
    bool flagged = false;
    bool replied = false;
    bool noArchive = false;
    bool inNew = false; // delivered but not yet looked at: new/, no flags
};

// Writes folders and message files of one Maildir++ store directly, in the
// layout Dovecot reads. Folder paths are display names below the store root;
// "Inbox" first means the Maildir root. Returns false and sets errorText() on
// failure.
class MaildirStoreWriter {
public:
    explicit MaildirStoreWriter(const QString& root);

    // Creates the folder and its missing parents; itemType != 0 writes the marker.
    bool createFolder(const QStringList& path, int itemType = 0);
    // File name time = created (entered the store), mtime = received.
    bool writeMessage(const QStringList& folder, const QByteArray& bytes, qint64 receivedUtc,
                      qint64 createdUtc, int micros, const StoredFlags& flags);

    QString folderDirectory(const QStringList& path) const;
    const QString& errorText() const { return m_error; }

    static constexpr const char* kHost = "demo.kestrel";
    static constexpr int kPid = 4242;

private:
    bool makeMaildir(const QString& dir, bool isRoot);
    bool fail(const QString& text);

    QString m_root;
    quint64 m_sequence = 0;
    QString m_error;
};

} // namespace kestrel::demo
