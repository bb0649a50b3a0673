#pragma once

#include "platform/MailPlatform.h"
#include "support/TempDir.h"

#include <QStringList>

#include <memory>

namespace kestrel::test {

// A profile of real, empty Maildir++ stores in a temporary directory, opened
// through the platform.
class StoreFixture {
public:
    explicit StoreFixture(const QStringList& storeNames);

    platform::Namespace& ns() { return *m_namespace; }
    platform::Session& session() { return *m_session; }
    QString storeDir(int index) const;
    // The Maildir directory of a folder given by its on-disk name (".A.B", "" for Inbox).
    QString folderDir(int store, const QString& maildirName) const;
    // Writes a plain message into a folder's cur/ (seen unless unread).
    void addMessage(int store, const QString& maildirName, const QString& subject,
                    bool unread = false);
    void setFolderType(int store, const QString& maildirName, int type);

private:
    TempDir m_dir;
    QStringList m_stores;
    std::unique_ptr<platform::Application> m_application;
    std::unique_ptr<platform::Namespace> m_namespace;
    std::unique_ptr<platform::Session> m_session;
    int m_sequence = 0;
};

} // namespace kestrel::test
