#include "PffExport.h"

#include "support/MsgReaders.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>

namespace kestrel::test {

namespace {

const QRegularExpression kItemDir(QStringLiteral("^[A-Za-z]+\\d{5}$"));

QMap<QString, QString> fieldsOf(const QString& path)
{
    QMap<QString, QString> fields;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fields;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const int colon = line.indexOf(":\t");
        if (colon > 0 && !fields.contains(QString::fromUtf8(line.left(colon))))
            fields.insert(QString::fromUtf8(line.left(colon)),
                          QString::fromUtf8(line.mid(colon + 1)).trimmed());
    }
    return fields;
}

QDateTime timeOf(const QString& text)
{
    // "Aug 23, 2001 22:49:51.000000000 UTC"
    QDateTime t = QLocale::c().toDateTime(text.left(21), QStringLiteral("MMM dd, yyyy HH:mm:ss"));
    t.setTimeSpec(Qt::UTC);
    return t;
}

QStringList toRecipients(const QString& path)
{
    QStringList to;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return to;
    QString address;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1String("Email address:")))
            address = line.section(':', 1).trimmed().toLower();
        else if (line.startsWith(QLatin1String("Recipient type:")) &&
                 line.section(':', 1).trimmed() == QLatin1String("To"))
            to << address;
    }
    return to;
}

PffMessage messageAt(const QString& dir, const QString& folder)
{
    PffMessage m;
    m.folder = folder;
    const QMap<QString, QString> f = fieldsOf(dir + QStringLiteral("/OutlookHeaders.txt"));
    m.subject = f.value(QStringLiteral("Subject"));
    m.senderName = f.value(QStringLiteral("Sender name"));
    m.representingName = f.value(QStringLiteral("Sent representing name"));
    QFile headers(dir + QStringLiteral("/InternetHeaders.txt"));
    if (headers.open(QIODevice::ReadOnly)) {
        const MimeSummary s = summarizeMime(headers.readAll() + "\n\n");
        m.headerFrom = s.fromName.isEmpty() ? s.fromAddress : s.fromName;
    }
    m.senderEmail = f.value(QStringLiteral("Sender email address"));
    m.delivery = timeOf(f.value(QStringLiteral("Delivery time")));
    m.submit = timeOf(f.value(QStringLiteral("Client submit time")));
    m.creation = timeOf(f.value(QStringLiteral("Creation time")));
    m.modification = timeOf(f.value(QStringLiteral("Modification time")));
    m.flags = f.value(QStringLiteral("Flags")).section(' ', 0, 0).toUInt(nullptr, 16);
    m.to = toRecipients(dir + QStringLiteral("/Recipients.txt"));
    QDir attachments(dir + QStringLiteral("/Attachments"));
    const QStringList names = attachments.entryList(QDir::Files, QDir::Name);
    QMap<int, QByteArray> byNumber; // "<n>_name": in the message's order
    for (const QString& name : names) {
        QFile file(attachments.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            byNumber.insert(name.section('_', 0, 0).toInt(), file.readAll());
    }
    m.attachments = byNumber.values();
    return m;
}

void walk(const QString& dir, const QString& folder, PffExport& out)
{
    int items = 0;
    const QStringList entries = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : entries) {
        const QString path = dir + '/' + name;
        if (kItemDir.match(name).hasMatch()) {
            ++items;
            if (name.startsWith(QLatin1String("Message")))
                out.messages.append(messageAt(path, folder));
            continue;
        }
        walk(path, folder.isEmpty() ? name : folder + '\\' + name, out);
    }
    out.folders.insert(folder, items);
}

} // namespace

QString pstTestFile(const QString& name)
{
    const QString path = QStringLiteral(KESTREL_SOURCE_DIR
                                        "/build/npm/node_modules/pst-extractor/example/testdata/") +
                         name;
    return QFile::exists(path) ? path : QString();
}

PffExport PffExport::of(const QString& file, bool* ok)
{
    PffExport result;
    TempDir temp;
    const QString target = temp.path() + QStringLiteral("/x");
    QProcess process;
    process.start(QStringLiteral("pffexport"),
                  {QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("all"),
                   QStringLiteral("-f"), QStringLiteral("all"), QStringLiteral("-t"), target,
                   file});
    *ok = process.waitForFinished(120000) && process.exitCode() == 0;
    if (!*ok)
        return result;
    // The top of the user's folders: a .pst's "Top of Personal Folders", an
    // offline file's IPM subtree.
    for (const QString& top : {QStringLiteral("/x.export/Top of Personal Folders"),
                               QStringLiteral("/x.export/Top of Information Store"),
                               QStringLiteral("/x.export/Root - Mailbox/IPM_SUBTREE")}) {
        if (QDir(temp.path() + top).exists()) {
            walk(temp.path() + top, QString(), result);
            return result;
        }
    }
    *ok = false;
    return result;
}

} // namespace kestrel::test
