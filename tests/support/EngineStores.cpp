#include "EngineStores.h"

#include "MaildirStoreWriter.h"
#include "MessageComposer.h"
#include "platform/PlatformRegistry.h"

#include <QDir>
#include <QFile>
#include <QSettings>

namespace kestrel::test {

namespace {

QString storeDirName(int index)
{
    return QStringLiteral("store%1").arg(index + 1);
}

} // namespace

QDateTime at(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

EngineStores::EngineStores(const QStringList& storeNames, const QString& dir) : m_stores(storeNames)
{
    if (dir.isEmpty()) {
        m_temp = std::make_unique<TempDir>();
        m_root = m_temp->path();
    } else {
        m_root = dir;
        QDir().mkpath(dir);
    }
    QByteArray profile = "[Profile]\nUserName=Demo User\nUserAddress=demo.user@example.com\n"
                         "DefaultStore=" +
                         storeNames.value(0).toUtf8() + '\n';
    for (int i = 0; i < storeNames.size(); ++i) {
        profile += "\n[Store" + QByteArray::number(i + 1) + "]\nName=" + storeNames.at(i).toUtf8() +
                   "\nPath=" + storeDirName(i).toUtf8() + '\n';
        demo::MaildirStoreWriter(m_root + '/' + storeDirName(i)).createFolder({"Inbox"});
    }
    QFile file(profilePath());
    if (file.open(QIODevice::WriteOnly))
        file.write(profile);
}

bool EngineStores::addFolder(int store, const QString& path, int itemType)
{
    return demo::MaildirStoreWriter(m_root + '/' + storeDirName(store))
        .createFolder(path.split('\\'), itemType);
}

QString EngineStores::folderDir(int store, const QString& folderPath) const
{
    return demo::MaildirStoreWriter(m_root + '/' + storeDirName(store))
        .folderDirectory(folderPath.split('\\'));
}

QString EngineStores::addMessage(int store, const QString& folderPath, const TestMessage& message)
{
    ++m_sequence;
    demo::DemoMessage demo;
    demo.kind = message.kind;
    demo.from = {message.fromName, message.fromAddress};
    demo.to = {{message.toName, message.toAddress}};
    demo.subject = message.subject;
    const QDateTime sent = message.sent.isValid() ? message.sent : message.received;
    demo.sentUtc = sent.toSecsSinceEpoch();
    demo.utcOffsetMinutes = sent.offsetFromUtc() / 60;
    demo.messageId = QStringLiteral("<test%1.%2@engine.test>").arg(m_sequence).arg(store);
    demo.bodySeed = quint64(m_sequence);
    QByteArray bytes = demo::MessageComposer::compose(demo);
    if (message.exactSize > bytes.size())
        bytes += QByteArray(message.exactSize - bytes.size() - 1, 'x') + '\n';

    demo::StoredFlags flags;
    flags.seen = !message.unread;
    flags.noArchive = message.noArchive;
    const QDateTime created = message.created.isValid() ? message.created : message.received;
    demo::MaildirStoreWriter writer(m_root + '/' + storeDirName(store));
    writer.createFolder(folderPath.split('\\'));
    // The writer numbers its files from 1; the test's own sequence keeps names apart.
    if (!writer.writeMessage(folderPath.split('\\'), bytes, message.received.toSecsSinceEpoch(),
                             created.toSecsSinceEpoch(), m_sequence, flags))
        return {};
    return demo.messageId;
}

void EngineStores::setType(int store, const QString& type)
{
    QSettings(profilePath(), QSettings::IniFormat)
        .setValue(QStringLiteral("Store%1/Type").arg(store + 1), type);
}

bool EngineStores::open(const platform::BackendRegistry& backends)
{
    qputenv("KESTREL_PROFILE", QFile::encodeName(profilePath()));
    m_application = platform::createApplication(backends);
    if (!m_application)
        return false;
    m_namespace = m_application->getNamespace(QStringLiteral("MAPI"));
    if (!m_namespace || !m_namespace->logon())
        return false;
    m_session = m_namespace->openSession();
    return m_session != nullptr;
}

std::unique_ptr<platform::Folder> EngineStores::root(int store)
{
    std::unique_ptr<platform::FolderCollection> stores = m_namespace->folders();
    return stores ? stores->item(store + 1) : nullptr;
}

QStringList EngineStores::messageFiles(int store, const QString& folderPath) const
{
    const QString dir = folderDir(store, folderPath);
    QStringList out;
    for (const char* sub : {"/cur", "/new"}) {
        const QDir d(dir + QLatin1String(sub));
        for (const QString& name : d.entryList(QDir::Files))
            out << d.filePath(name);
    }
    return out;
}

} // namespace kestrel::test
