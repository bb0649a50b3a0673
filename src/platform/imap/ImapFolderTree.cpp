#include "ImapFolderTree.h"

#include "../FolderPath.h"
#include "../maildir/MaildirName.h"
#include "ImapBackend.h"

#include <QSet>

#include <algorithm>

namespace kestrel::platform::imap {

namespace {

bool isInboxName(const QByteArray& component)
{
    return component.compare(kInboxMailbox, Qt::CaseInsensitive) == 0;
}

QString escapes(char delimiter)
{
    QString set(QLatin1Char('%'));
    if (delimiter)
        set += QLatin1Char(delimiter);
    return set;
}

QString decodeComponent(const QByteArray& raw, char delimiter)
{
    const QString text = QString::fromUtf8(raw);
    const QString decoded = maildir::decodeModifiedUtf7(text);
    return decodePercentEscapes(decoded.isNull() ? text : decoded, escapes(delimiter));
}

QByteArray encodeComponent(const QString& name, char delimiter)
{
    QString escaped;
    for (QChar ch : name) {
        if (ch == QLatin1Char('%') || (delimiter && ch == QLatin1Char(delimiter)))
            escaped += QStringLiteral("%%1").arg(ch.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            escaped += ch;
    }
    return maildir::encodeModifiedUtf7(escaped).toUtf8();
}

QList<QByteArray> split(const QByteArray& mailbox, char delimiter)
{
    return delimiter ? mailbox.split(delimiter) : QList<QByteArray>{mailbox};
}

} // namespace

QStringList namesOfMailbox(const QByteArray& mailbox, char delimiter)
{
    QStringList names;
    const QList<QByteArray> parts = split(mailbox, delimiter);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        names.append(i == 0 && isInboxName(parts[i]) ? QLatin1String(kInboxName)
                                                     : decodeComponent(parts[i], delimiter));
    }
    return names;
}

QString displayPath(const QByteArray& mailbox)
{
    const QString text = QString::fromUtf8(mailbox);
    const QString decoded = maildir::decodeModifiedUtf7(text);
    return decoded.isNull() ? text : decoded;
}

char ImapFolderTree::delimiter(PlatformError* error)
{
    const QList<MailboxInfo>* all = m_backend.mailboxes(m_store, error);
    if (!all)
        return 0;
    for (const MailboxInfo& info : *all) {
        if (info.delimiter)
            return info.delimiter;
    }
    return '/';
}

ImapFolderRef ImapFolderTree::refOf(const QByteArray& mailbox, char delimiter) const
{
    return {m_store, mailbox, namesOfMailbox(mailbox, delimiter)};
}

std::optional<QList<ImapFolderRef>> ImapFolderTree::children(const ImapFolderRef& parent,
                                                             PlatformError* error)
{
    const char delim = delimiter(error);
    const QList<MailboxInfo>* all = m_backend.mailboxes(m_store, error);
    if (!all)
        return std::nullopt;
    const QByteArray prefix =
        parent.isStoreRoot() ? QByteArray() : parent.mailbox + QByteArray(1, delim);
    QList<ImapFolderRef> found;
    QSet<QByteArray> seen;
    for (const MailboxInfo& info : *all) {
        if (!info.name.startsWith(prefix) || info.name.size() == prefix.size())
            continue;
        if (!parent.isStoreRoot() && !delim)
            continue;
        const qsizetype next = delim ? info.name.indexOf(delim, prefix.size()) : -1;
        const QByteArray child = next < 0 ? info.name : info.name.left(next);
        if (seen.contains(child) || (parent.isStoreRoot() && isInboxName(child)))
            continue;
        seen.insert(child);
        found.append(refOf(child, delim));
    }
    std::sort(found.begin(), found.end(), [](const ImapFolderRef& a, const ImapFolderRef& b) {
        const int order = a.names.last().compare(b.names.last(), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.names.last() < b.names.last();
    });
    if (parent.isStoreRoot())
        found.prepend(ImapFolderRef::inbox(m_store));
    return found;
}

std::optional<ImapFolderRef> ImapFolderTree::child(const ImapFolderRef& parent, const QString& name,
                                                   PlatformError* error)
{
    // A folder another client made since the list was read is found after a
    // fresh LIST.
    for (bool fresh : {false, true}) {
        if (fresh)
            m_backend.forgetMailboxes(m_store);
        const std::optional<QList<ImapFolderRef>> all = children(parent, error);
        if (!all)
            return std::nullopt;
        for (const ImapFolderRef& ref : *all) {
            if (ref.names.last() == name)
                return ref;
        }
    }
    if (parent.isStoreRoot() && name.compare(QLatin1String(kInboxName), Qt::CaseInsensitive) == 0)
        return ImapFolderRef::inbox(m_store);
    *error = {ErrorKind::NotFound, -1, QStringLiteral("The folder does not exist"), name};
    return std::nullopt;
}

std::optional<ImapFolderRef> ImapFolderTree::create(const ImapFolderRef& parent,
                                                    const QString& name, PlatformError* error)
{
    if (name.isEmpty()) {
        *error = {ErrorKind::Invalid, -1, QStringLiteral("A folder needs a name"), name};
        return std::nullopt;
    }
    const char delim = delimiter(error);
    if (!error->ok())
        return std::nullopt;
    if (std::optional<ImapFolderRef> existing = child(parent, name, error)) {
        if (selectable(existing->mailbox, error)) {
            *error = {ErrorKind::Exists, -1, QStringLiteral("The folder already exists"), name};
            return std::nullopt;
        }
    } else if (error->kind != ErrorKind::NotFound) {
        return std::nullopt;
    }
    const QByteArray mailbox =
        (parent.isStoreRoot() ? QByteArray() : parent.mailbox + QByteArray(1, delim)) +
        encodeComponent(name, delim);
    ImapConnection& connection = m_backend.connection(m_store);
    bool dropped = false;
    if (!connection.run([&](mailimap* session) { return createMailbox(session, mailbox); },
                        ImapConnection::Retry::Never, QStringLiteral("Creating a folder"), error,
                        &dropped)) {
        // A CREATE whose answer was lost may have been carried out.
        if (!dropped || !selectable(mailbox, error))
            return std::nullopt;
    }
    m_backend.forgetMailboxes(m_store);
    *error = {};
    return refOf(mailbox, delim);
}

std::optional<ImapFolderRef> ImapFolderTree::find(const QByteArray& mailbox, PlatformError* error)
{
    if (mailbox.isEmpty())
        return ImapFolderRef::storeRoot(m_store);
    if (isInboxName(mailbox))
        return ImapFolderRef::inbox(m_store);
    for (bool fresh : {false, true}) {
        const QList<MailboxInfo>* all = m_backend.mailboxes(m_store, error, fresh);
        if (!all)
            return std::nullopt;
        for (const MailboxInfo& info : *all) {
            if (info.name == mailbox ||
                (info.delimiter && info.name.startsWith(mailbox + info.delimiter)))
                return refOf(mailbox, info.delimiter);
        }
    }
    *error = {ErrorKind::NotFound, -1, QStringLiteral("The folder does not exist"),
              displayPath(mailbox)};
    return std::nullopt;
}

bool ImapFolderTree::selectable(const QByteArray& mailbox, PlatformError* error)
{
    if (isInboxName(mailbox))
        return true;
    for (bool fresh : {false, true}) {
        const QList<MailboxInfo>* all = m_backend.mailboxes(m_store, error, fresh);
        if (!all)
            return false;
        bool implied = false;
        for (const MailboxInfo& info : *all) {
            if (info.name == mailbox)
                return !info.noSelect;
            implied = implied || (info.delimiter && info.name.startsWith(mailbox + info.delimiter));
        }
        if (implied)
            return false;
    }
    *error = {ErrorKind::NotFound, -1, QStringLiteral("The folder is not on the server"),
              displayPath(mailbox)};
    return false;
}

bool ImapFolderTree::isTrash(const QByteArray& mailbox)
{
    PlatformError error;
    const QList<MailboxInfo>* all = m_backend.mailboxes(m_store, &error);
    if (!all)
        return false;
    bool serverHasTrash = false;
    for (const MailboxInfo& info : *all) {
        if (info.trash && !info.noSelect) {
            if (info.name == mailbox)
                return true;
            serverHasTrash = true;
        }
    }
    return !serverHasTrash &&
           mailbox == encodeComponent(QLatin1String(kDeletedItemsName), delimiter(&error));
}

std::optional<ImapFolderRef> ImapFolderTree::trash(PlatformError* error)
{
    const QList<MailboxInfo>* all = m_backend.mailboxes(m_store, error);
    if (!all)
        return std::nullopt;
    const char delim = delimiter(error);
    for (const MailboxInfo& info : *all) {
        if (info.trash && !info.noSelect)
            return refOf(info.name, delim);
    }
    const ImapFolderRef root = ImapFolderRef::storeRoot(m_store);
    PlatformError missing;
    if (std::optional<ImapFolderRef> named =
            child(root, QLatin1String(kDeletedItemsName), &missing);
        named && selectable(named->mailbox, error))
        return named;
    return create(root, QLatin1String(kDeletedItemsName), error);
}

} // namespace kestrel::platform::imap
