#include "DemoProfileBuilder.h"

#include "DemoLayout.h"
#include "MaildirStoreWriter.h"
#include "MessageComposer.h"
#include "MessageFactory.h"

#include <QDir>
#include <QFile>

#include <memory>
#include <vector>

namespace kestrel::demo {

DemoProfileBuilder::DemoProfileBuilder(const QString& directory, int messages, quint64 seed)
    : m_directory(QDir(directory).absolutePath()), m_messages(messages), m_seed(seed)
{
}

bool DemoProfileBuilder::fail(const QString& text)
{
    m_error = text;
    return false;
}

bool DemoProfileBuilder::prepareDirectory()
{
    QDir dir(m_directory);
    if (dir.exists() &&
        !dir.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        return fail(
            QStringLiteral("%1 exists and is not empty; not overwriting it").arg(m_directory));
    if (!QDir().mkpath(m_directory))
        return fail(QStringLiteral("cannot create %1").arg(m_directory));
    return true;
}

bool DemoProfileBuilder::writeProfile()
{
    const DemoPerson& user = MessageFactory::user();
    QByteArray text = "[Profile]\nUserName=" + user.name.toUtf8() +
                      "\nUserAddress=" + user.address.toUtf8() +
                      "\nDefaultStore=" + demoStores().first().name.toUtf8() + '\n';
    for (int i = 0; i < demoStores().size(); ++i) {
        const DemoStore& store = demoStores().at(i);
        text += "\n[Store" + QByteArray::number(i + 1) + "]\nName=" + store.name.toUtf8() +
                "\nPath=" + store.directory.toUtf8() + '\n';
    }
    QFile file(m_directory + QStringLiteral("/profile.ini"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(text) != text.size())
        return fail(QStringLiteral("cannot write %1").arg(file.fileName()));
    return true;
}

bool DemoProfileBuilder::build()
{
    if (!prepareDirectory() || !writeProfile())
        return false;
    std::vector<std::unique_ptr<MaildirStoreWriter>> writers;
    for (const DemoStore& store : demoStores())
        writers.push_back(
            std::make_unique<MaildirStoreWriter>(m_directory + '/' + store.directory));
    for (const DemoFolder& folder : demoFolders()) {
        MaildirStoreWriter& writer = *writers.at(folder.store);
        if (!writer.createFolder(folder.path, folder.itemType))
            return fail(writer.errorText());
        ++m_summary.folders;
    }
    const MessageFactory factory(m_seed);
    for (int index = 0; index < m_messages; ++index) {
        const PlannedMessage planned = factory.plan(index);
        const DemoFolder& folder = demoFolders().at(planned.folder);
        MaildirStoreWriter& writer = *writers.at(folder.store);
        const QByteArray bytes = MessageComposer::compose(planned.message);
        if (!writer.writeMessage(folder.path, bytes, planned.receivedUtc, planned.createdUtc,
                                 planned.micros, planned.flags))
            return fail(writer.errorText());
        ++m_summary.messages;
        m_summary.bytes += bytes.size();
    }
    return true;
}

} // namespace kestrel::demo
