#pragma once

// Builds Maildir++ stores and a mail profile in a temporary directory:
//   TempMaildir maildir;
//   maildir.addStore("Personal Folders");
//   maildir.addMessage({.folder = "Inbox\\Clients", .date = d, .flags = "S"});
//   maildir.writeProfile();   // and point KESTREL_PROFILE at it
// Folder paths are display names separated by backslashes, as in folder paths.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kestrel::test {

struct MessageSpec {
    QString store{}; // store name; empty = the first store
    QString folder = QStringLiteral("Inbox");
    QDateTime date{};     // Date: header; also the received time unless set below
    QDateTime received{}; // file mtime
    QDateTime created{};  // time in the unique name; default = received
    QString flags = QStringLiteral("S");
    QStringList keywords{}; // e.g. "$NoArchive", kept in dovecot-keywords
    QString subject = QStringLiteral("Test message");
    QString from = QStringLiteral("Alice Sender <alice@example.org>");
    QString to = QStringLiteral("Demo User <demo.user@example.com>");
    QString contentType = QStringLiteral("text/plain; charset=utf-8");
    QByteArray body = "Hello.\n";
    QByteArray raw{};     // the whole file, instead of the fields above
    bool inNew = false; // deliver into new/ (no flags)
};

class TempMaildir {
public:
    explicit TempMaildir(const QString& base = {});
    ~TempMaildir();

    QString root() const { return m_dir.path(); }
    // A store below the root (or at an absolute path); returns its path.
    QString addStore(const QString& name, const QString& path = {});
    QString storePath(const QString& store = {}) const;
    // The folder's directory, created with cur/new/tmp.
    QString folderDir(const QString& folder, const QString& store = {});
    // Returns the message file's path.
    QString addMessage(const MessageSpec& spec);
    // Writes root()/profile.ini, sets KESTREL_PROFILE to it (restored on
    // destruction), and returns its path.
    QString writeProfile(const QString& defaultStore = {},
                         const QString& userName = QStringLiteral("Demo User"),
                         const QString& userAddress = QStringLiteral("demo.user@example.com"));
    // Every message file of a folder (cur/ and new/), sorted.
    QStringList messageFiles(const QString& folder, const QString& store = {});

private:
    QTemporaryDir m_dir;
    QStringList m_storeNames;
    QStringList m_storePaths;
    QByteArray m_oldProfile;
    bool m_hadProfile = false;
    bool m_profileSet = false;
    int m_counter = 0;
};

} // namespace kestrel::test
