#include "StoreFixture.h"

#include "platform/PlatformRegistry.h"

#include <QFile>

#include <gtest/gtest.h>

namespace kestrel::test {

StoreFixture::StoreFixture(const QStringList& storeNames)
{
    for (const QString& name : storeNames)
        m_maildir.addStore(name);
    m_maildir.writeProfile();
    m_application = platform::createApplication();
    EXPECT_TRUE(m_application);
    if (!m_application)
        return;
    m_namespace = m_application->getNamespace("MAPI");
    EXPECT_TRUE(m_namespace && m_namespace->logon());
    m_session = m_namespace->openSession();
    EXPECT_TRUE(m_session);
}

void StoreFixture::addMessage(const QString& store, const QString& folder, const QString& subject)
{
    m_maildir.addMessage({.store = store, .folder = folder, .subject = subject});
}

void StoreFixture::setFolderType(const QString& store, const QString& folder, int type)
{
    QFile file(folderDir(store, folder) + "/kestrel-folder-type");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(type));
}

} // namespace kestrel::test
