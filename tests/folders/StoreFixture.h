#pragma once

#include "platform/MailPlatform.h"
#include "support/TempMaildir.h"

#include <QStringList>

#include <memory>

namespace kestrel::test {

// Real Maildir++ stores in a temporary directory, opened through the platform.
class StoreFixture {
public:
    explicit StoreFixture(const QStringList& storeNames);

    platform::Namespace& ns() { return *m_namespace; }
    platform::Session& session() { return *m_session; }
    TempMaildir& maildir() { return m_maildir; }
    // folder: display path below the store root, "Inbox\\A".
    QString folderDir(const QString& store, const QString& folder)
    {
        return m_maildir.folderDir(folder, store);
    }
    void addMessage(const QString& store, const QString& folder, const QString& subject);
    void setFolderType(const QString& store, const QString& folder, int type);

private:
    TempMaildir m_maildir;
    std::unique_ptr<platform::Application> m_application;
    std::unique_ptr<platform::Namespace> m_namespace;
    std::unique_ptr<platform::Session> m_session;
};

} // namespace kestrel::test
