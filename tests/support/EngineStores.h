#pragma once

// Real Maildir++ stores in a temporary directory for the engine's tests, with
// messages whose times, flags and kinds the test chooses, opened through the
// platform like the program opens its profile.

#include "DemoMessage.h"
#include "platform/MailPlatform.h"
#include "platform/PlatformRegistry.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QStringList>

#include <memory>

namespace kestrel::test {

struct TestMessage {
    QString subject = QStringLiteral("Test message");
    QDateTime received; // the file's mtime
    QDateTime created;  // the file name's time; received when invalid
    QDateTime sent;     // the Date header; received when invalid
    bool unread = false;
    bool noArchive = false;
    demo::DemoKind kind = demo::DemoKind::Plain;
    QString fromName = QStringLiteral("Ann Sender");
    QString fromAddress = QStringLiteral("ann@sender.example");
    QString toName = QStringLiteral("Demo User");
    QString toAddress = QStringLiteral("demo.user@example.com");
    int exactSize = 0; // pads the body to this many bytes
};

class EngineStores {
public:
    // Stores named as given, in a fresh temporary directory (or in dir).
    explicit EngineStores(const QStringList& storeNames, const QString& dir = {});

    bool addFolder(int store, const QString& path, int itemType = 0);
    // path is "Inbox\Clients"; returns the Message-ID.
    QString addMessage(int store, const QString& folderPath, const TestMessage& message);

    // The store's Type= in the profile (before open).
    void setType(int store, const QString& type);
    // Opens the profile through the platform; false when it cannot.
    bool open(const platform::BackendRegistry& backends = platform::installedBackends());
    platform::Namespace& ns() { return *m_namespace; }
    platform::Session* session() { return m_session.get(); }
    std::unique_ptr<platform::Folder> root(int store);

    QString folderDir(int store, const QString& folderPath) const;
    // Message files in cur/ and new/.
    QStringList messageFiles(int store, const QString& folderPath) const;
    QString rootDir() const { return m_root; }
    QString profilePath() const { return m_root + QStringLiteral("/profile.ini"); }

private:
    std::unique_ptr<TempDir> m_temp;
    QString m_root;
    QStringList m_stores;
    int m_sequence = 0;
    std::unique_ptr<platform::Application> m_application;
    std::unique_ptr<platform::Namespace> m_namespace;
    std::unique_ptr<platform::Session> m_session;
};

// A local date-time in a test's own words.
QDateTime at(int year, int month, int day, int hour = 12, int minute = 0, int second = 0);

} // namespace kestrel::test
