#include "BenchStores.h"

#include "MaildirStoreWriter.h"
#include "MessageComposer.h"
#include "MessageFactory.h"

#include <QFile>
#include <QList>
#include <QPair>

namespace kestrel::bench {

QString writeInboxStore(const QString& root, int messages, quint64 seed)
{
    demo::MaildirStoreWriter writer(root);
    const QStringList inbox = {QStringLiteral("Inbox")};
    if (!writer.createFolder(inbox))
        return writer.errorText();
    const demo::MessageFactory factory(seed);
    for (int i = 0; i < messages; ++i) {
        const demo::PlannedMessage planned = factory.plan(i);
        if (!writer.writeMessage(inbox, demo::MessageComposer::compose(planned.message),
                                 planned.receivedUtc, planned.createdUtc, planned.micros,
                                 planned.flags))
            return writer.errorText();
    }
    return {};
}

QString writeProfile(const QString& file, const QList<QPair<QString, QString>>& stores)
{
    QByteArray text = "[Profile]\nUserName=Bench User\nUserAddress=bench@example.com\n"
                      "DefaultStore=" +
                      stores.value(0).first.toUtf8() + '\n';
    for (int i = 0; i < stores.size(); ++i)
        text += "[Store" + QByteArray::number(i + 1) + "]\nName=" + stores.at(i).first.toUtf8() +
                "\nPath=" + QFile::encodeName(stores.at(i).second) + '\n';
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) != text.size())
        return QStringLiteral("cannot write %1").arg(file);
    return {};
}

} // namespace kestrel::bench
