#include "DovecotFolderCheck.h"

#include "MaildirInspector.h"
#include "platform/maildir/MaildirName.h"

#include <QFileInfo>
#include <QSet>

namespace kestrel::test {

namespace {

struct FileFacts {
    qint64 mtime = 0;
    QSet<QString> flags;
};

QSet<QString> flagNames(const QString& letters)
{
    QSet<QString> names;
    for (QChar letter : letters) {
        if (letter == 'S')
            names.insert(QStringLiteral("\\Seen"));
        else if (letter == 'F')
            names.insert(QStringLiteral("\\Flagged"));
        else if (letter == 'R')
            names.insert(QStringLiteral("\\Answered"));
        else if (letter == 'a')
            names.insert(QLatin1String(platform::maildir::kNoArchiveKeyword));
    }
    return names;
}

QSet<QString> dovecotFlags(const QString& text)
{
    QSet<QString> names;
    for (const QString& flag : text.split(' ', Qt::SkipEmptyParts)) {
        if (flag == QLatin1String("\\Seen") || flag == QLatin1String("\\Flagged") ||
            flag == QLatin1String("\\Answered") ||
            flag == QLatin1String(platform::maildir::kNoArchiveKeyword))
            names.insert(flag);
    }
    return names;
}

QString baseName(const QString& fileName)
{
    return fileName.section(QLatin1String(":2,"), 0, 0);
}

QString joined(const QSet<QString>& set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list.join(' ');
}

} // namespace

QString folderDirOfMailbox(const QString& maildir, const QString& mailbox)
{
    if (mailbox == QLatin1String("INBOX"))
        return maildir;
    return maildir + QStringLiteral("/.") + platform::maildir::encodeModifiedUtf7(mailbox);
}

QString compareFolderWithDovecot(const DoveadmHarness& doveadm, const QString& mailbox,
                                 const QString& folderDir)
{
    QMap<QString, FileFacts> onDisk;
    for (const QString& path : MaildirInspector::messageFiles(folderDir)) {
        const QFileInfo info(path);
        onDisk.insert(baseName(info.fileName()),
                      {info.lastModified().toSecsSinceEpoch(),
                       flagNames(MaildirInspector::flagsOf(info.fileName()))});
    }
    const auto rows = doveadm.fetch(QStringLiteral("guid flags date.received.unixtime"), mailbox);
    if (!rows)
        return QStringLiteral("doveadm fetch %1 failed: %2").arg(mailbox, doveadm.lastError());
    if (rows->size() != onDisk.size())
        return QStringLiteral("%1: doveadm sees %2 messages, the folder holds %3")
            .arg(mailbox)
            .arg(rows->size())
            .arg(onDisk.size());
    for (const DoveadmRow& row : *rows) {
        const QString guid = row.value(QStringLiteral("guid"));
        if (!onDisk.contains(guid))
            return QStringLiteral("%1: doveadm lists %2, not on disk").arg(mailbox, guid);
        const FileFacts& facts = onDisk.value(guid);
        const qint64 received = row.value(QStringLiteral("date.received.unixtime")).toLongLong();
        if (received != facts.mtime)
            return QStringLiteral("%1: %2 received %3 in doveadm, mtime %4")
                .arg(mailbox, guid)
                .arg(received)
                .arg(facts.mtime);
        const QSet<QString> flags = dovecotFlags(row.value(QStringLiteral("flags")));
        if (flags != facts.flags)
            return QStringLiteral("%1: %2 has flags \"%3\" in doveadm, \"%4\" on disk")
                .arg(mailbox, guid, joined(flags), joined(facts.flags));
    }
    return {};
}

} // namespace kestrel::test
