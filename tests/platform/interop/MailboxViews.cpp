#include "MailboxViews.h"

#include "platform/maildir/MaildirName.h"

namespace kestrel::test {

namespace {

QString line(const QString& subject, bool unread, bool noAging, qint64 received)
{
    return QStringLiteral("%1|%2|%3|%4")
        .arg(subject, unread ? "unread" : "read", noAging ? "noaging" : "-")
        .arg(received);
}

} // namespace

QStringList backendView(platform::Folder& folder)
{
    QStringList lines;
    auto items = folder.items();
    if (!items)
        return {QStringLiteral("items() failed: ") + folder.lastError().text};
    const qint64 count = items->count().value_or(-1);
    for (qint64 i = 1; i <= count; ++i) {
        auto item = items->item(i);
        if (!item) {
            lines.append(QStringLiteral("item(%1) failed: %2").arg(i).arg(items->lastError().text));
            continue;
        }
        const auto received = item->receivedTime();
        lines.append(line(item->subject().value_or("?"), item->unRead().value_or(false),
                          item->noAging().value_or(false),
                          received ? received->toSecsSinceEpoch() : -1));
    }
    lines.sort();
    return lines;
}

QStringList dovecotView(const DoveadmHarness& doveadm, const QString& mailbox)
{
    const auto rows =
        doveadm.fetch(QStringLiteral("hdr.subject flags date.received.unixtime"), mailbox);
    if (!rows)
        return {QStringLiteral("doveadm fetch failed: ") + doveadm.lastError()};
    QStringList lines;
    for (const DoveadmRow& row : *rows) {
        const QStringList flags = row.value("flags").split(' ', Qt::SkipEmptyParts);
        lines.append(line(row.value("hdr.subject").trimmed(), !flags.contains("\\Seen"),
                          flags.contains(QLatin1String(platform::maildir::kNoArchiveKeyword)),
                          row.value("date.received.unixtime").toLongLong()));
    }
    lines.sort();
    return lines;
}

QString dovecotMailboxName(const QStringList& path)
{
    QStringList parts;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (i == 0 && path.at(i) == QLatin1String("Inbox")) {
            parts.append(QStringLiteral("INBOX"));
            continue;
        }
        QString part = path.at(i);
        part.replace('%', QLatin1String("%25")).replace('.', QLatin1String("%2E"));
        parts.append(part.replace('/', QLatin1String("%2F")));
    }
    return parts.join('.');
}

} // namespace kestrel::test
