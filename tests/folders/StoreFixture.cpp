#include "StoreFixture.h"

#include "platform/PlatformRegistry.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

namespace kestrel::test {

namespace {

void makeMaildir(const QString& dir)
{
    for (const char* sub : {"cur", "new", "tmp"})
        QDir().mkpath(dir + '/' + sub);
}

} // namespace

StoreFixture::StoreFixture(const QStringList& storeNames) : m_stores(storeNames)
{
    QFile profile(m_dir.filePath("profile.ini"));
    EXPECT_TRUE(profile.open(QIODevice::WriteOnly));
    QTextStream out(&profile);
    out << "[Profile]\nUserName=Test User\nUserAddress=test.user@example.org\n"
        << "DefaultStore=" << storeNames.value(0) << "\n";
    for (int i = 0; i < storeNames.size(); ++i) {
        out << "[Store" << i + 1 << "]\nName=" << storeNames.at(i) << "\nPath=store" << i + 1
            << "\n";
        makeMaildir(storeDir(i));
    }
    out.flush();
    profile.close();

    qputenv("KESTREL_PROFILE", m_dir.filePath("profile.ini").toUtf8());
    m_application = platform::createApplication();
    EXPECT_TRUE(m_application);
    if (!m_application)
        return;
    m_namespace = m_application->getNamespace("MAPI");
    EXPECT_TRUE(m_namespace && m_namespace->logon());
    m_session = m_namespace->openSession();
    EXPECT_TRUE(m_session);
}

QString StoreFixture::storeDir(int index) const
{
    return m_dir.filePath(QStringLiteral("store%1").arg(index + 1));
}

QString StoreFixture::folderDir(int store, const QString& maildirName) const
{
    return maildirName.isEmpty() ? storeDir(store) : storeDir(store) + '/' + maildirName;
}

void StoreFixture::addMessage(int store, const QString& maildirName, const QString& subject,
                              bool unread)
{
    const QString name = QStringLiteral("%1.M1P1Q%2.test:2,%3")
                             .arg(1600000000 + m_sequence)
                             .arg(++m_sequence)
                             .arg(unread ? "" : "S");
    QFile file(folderDir(store, maildirName) + "/cur/" + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("From: Ann <ann@example.org>\r\nTo: Bob <bob@example.org>\r\nSubject: " +
               subject.toUtf8() + "\r\nDate: Tue, 15 Sep 2020 10:00:00 +0000\r\nMessage-ID: <" +
               QByteArray::number(m_sequence) + "@example.org>\r\n\r\nHello.\r\n");
}

void StoreFixture::setFolderType(int store, const QString& maildirName, int type)
{
    QFile file(folderDir(store, maildirName) + "/kestrel-folder-type");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(type));
}

} // namespace kestrel::test
