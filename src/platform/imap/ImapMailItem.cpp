#include "ImapMailItem.h"

#include "../maildir/MessageHeaders.h"
#include "../msg/GMimeSupport.h"
#include "ImapBatchActions.h"
#include "ImapEntryId.h"

#include <libetpan/libetpan.h>

namespace kestrel::platform::imap {

namespace {

// What a new message's own text tells, as FETCH would tell it once stored.
MessageSummary summaryOfMime(const msg::MsgEnvelope& envelope)
{
    const maildir::MessageHeaders headers =
        maildir::MessageHeaders::parse(msg::headerBlock(envelope.mime));
    MessageSummary summary;
    summary.subject = headers.subject;
    summary.from = headers.from;
    summary.to = headers.to;
    summary.cc = headers.cc;
    summary.bcc = headers.bcc;
    summary.sent = headers.dateMsecs;
    summary.size = envelope.mime.size();
    summary.received =
        envelope.receivedTime.isValid() ? envelope.receivedTime.toMSecsSinceEpoch() : -1;
    summary.kind = headers.kind == maildir::ContentKind::Report ? MessageKind::Report
                   : headers.kind == maildir::ContentKind::Meeting ||
                           (headers.kind == maildir::ContentKind::MaybeMeeting &&
                            maildir::isMeetingMessage(envelope.mime))
                       ? MessageKind::Meeting
                       : MessageKind::Mail;
    if (!envelope.unread)
        summary.flags.append(QLatin1String(kSeenFlag));
    if (envelope.noAging)
        summary.keywords.append(QLatin1String(kNoArchiveKeyword));
    summary.complete = true;
    return summary;
}

} // namespace

ImapMailItem::ImapMailItem(std::shared_ptr<ImapBackend> backend, int store, QByteArray mailbox,
                           uint32_t validity, MessageSummary summary)
    : m_backend(std::move(backend)), m_store(store), m_mailbox(std::move(mailbox)),
      m_validity(validity), m_summary(std::move(summary))
{
}

ImapMailItem::ImapMailItem(std::shared_ptr<ImapBackend> backend, int store, QByteArray mailbox)
    : m_backend(std::move(backend)), m_store(store), m_mailbox(std::move(mailbox)), m_isNew(true)
{
}

std::unique_ptr<ImapMailItem> ImapMailItem::createUnsaved(std::shared_ptr<ImapBackend> backend,
                                                          int store, QByteArray mailbox)
{
    return std::unique_ptr<ImapMailItem>(
        new ImapMailItem(std::move(backend), store, std::move(mailbox)));
}

std::unique_ptr<ImapMailItem> ImapMailItem::appendTo(std::shared_ptr<ImapBackend> backend,
                                                     int store, const QByteArray& mailbox,
                                                     const RawMessage& message,
                                                     PlatformError* error)
{
    uint32_t validity = 0;
    uint32_t uid = 0;
    bool dropped = false;
    if (!backend->connection(store).run(
            [&](mailimap* session) {
                return appendMessage(session, mailbox, message, &validity, &uid);
            },
            ImapConnection::Retry::Never, QStringLiteral("Storing a message"), error, &dropped)) {
        if (dropped)
            error->text += QStringLiteral(" (the server may have stored it before the "
                                          "connection was lost)");
        return nullptr;
    }
    MessageSummary summary;
    summary.uid = uid;
    summary.flags = message.flags;
    summary.keywords = message.keywords;
    summary.size = message.content.size();
    summary.received = message.received.isValid() ? message.received.toMSecsSinceEpoch() : -1;
    return std::make_unique<ImapMailItem>(std::move(backend), store, mailbox, validity,
                                          std::move(summary));
}

bool ImapMailItem::checkStored()
{
    if (m_gone) {
        setError(ErrorKind::NotFound, QStringLiteral("The message was moved or deleted"));
        return false;
    }
    if (m_isNew) {
        setError(ErrorKind::Invalid, QStringLiteral("The message is not saved"));
        return false;
    }
    if (m_summary.uid == 0 || m_validity == 0) {
        setError(ErrorKind::Unsupported,
                 QStringLiteral("The server did not say under which number it stored the "
                                "message (no UIDPLUS)"));
        return false;
    }
    return true;
}

const MessageSummary* ImapMailItem::summary()
{
    if (m_isNew) {
        if (!m_unsaved) {
            setError(ErrorKind::Invalid, QStringLiteral("The message has no content yet"));
            return nullptr;
        }
        return &m_summary;
    }
    if (m_summary.complete)
        return &m_summary;
    if (!checkStored())
        return nullptr;
    PlatformError error;
    std::optional<MessageSummary> fetched =
        m_backend->summary(m_store, m_mailbox, m_validity, m_summary.uid, &error);
    if (!fetched) {
        setError(error);
        return nullptr;
    }
    m_summary = std::move(*fetched);
    return &m_summary;
}

QString ImapMailItem::typeName()
{
    const MessageSummary* s = summary();
    const MessageKind kind = s ? s->kind : MessageKind::Mail; // unreadable: still mail to act on
    return QString::fromLatin1(kind == MessageKind::Report    ? kReportItemType
                               : kind == MessageKind::Meeting ? kMeetingItemType
                                                              : kMailItemType);
}

std::optional<QString> ImapMailItem::entryId()
{
    if (!checkStored())
        return std::nullopt;
    clearError();
    return ImapEntryId::forMessage(m_backend->storeName(m_store), m_mailbox, m_validity,
                                   m_summary.uid);
}

std::optional<QString> ImapMailItem::subject()
{
    const MessageSummary* s = summary();
    if (!s)
        return std::nullopt;
    clearError();
    return s->subject;
}

std::optional<QString> ImapMailItem::senderName()
{
    const MessageSummary* s = summary();
    if (!s)
        return std::nullopt;
    clearError();
    return s->from.isEmpty() ? QString() : displayName(s->from.first());
}

std::optional<QString> ImapMailItem::senderEmailAddress()
{
    const MessageSummary* s = summary();
    if (!s)
        return std::nullopt;
    clearError();
    return s->from.isEmpty() ? QString() : s->from.first().address;
}

std::optional<QString> ImapMailItem::receivedByName()
{
    const MessageSummary* s = summary();
    if (!s)
        return std::nullopt;
    clearError();
    return platform::receivedByName({&s->to, &s->cc}, s->to, s->from,
                                    m_backend->profile().userAddress,
                                    m_backend->profile().userName);
}

std::optional<QString> ImapMailItem::firstRecipientName()
{
    const MessageSummary* s = summary();
    if (!s)
        return std::nullopt;
    clearError();
    return displayName(firstAddress({&s->to, &s->cc, &s->bcc}));
}

std::optional<QString> ImapMailItem::firstRecipientAddress()
{
    const MessageSummary* s = summary();
    if (!s)
        return std::nullopt;
    clearError();
    return firstAddress({&s->to, &s->cc, &s->bcc}).address;
}

std::optional<QDateTime> ImapMailItem::receivedOrError()
{
    const MessageSummary* s = summary();
    if (!s)
        return std::nullopt;
    if (s->received < 0) {
        setError(ErrorKind::NotFound, QStringLiteral("The message has no received time"));
        return std::nullopt;
    }
    clearError();
    return QDateTime::fromMSecsSinceEpoch(s->received);
}

std::optional<QDateTime> ImapMailItem::receivedTime()
{
    return receivedOrError();
}

std::optional<QDateTime> ImapMailItem::creationTime()
{
    return receivedOrError();
}

std::optional<QDateTime> ImapMailItem::lastModificationTime()
{
    return receivedOrError();
}

std::optional<QDateTime> ImapMailItem::sentOn()
{
    const MessageSummary* s = summary();
    if (!s)
        return std::nullopt;
    if (!s->sent) {
        setError(ErrorKind::NotFound, QStringLiteral("The message has no valid Date header"));
        return std::nullopt;
    }
    clearError();
    return QDateTime::fromMSecsSinceEpoch(*s->sent);
}

std::optional<bool> ImapMailItem::noAging()
{
    if (m_isNew) {
        clearError();
        return m_unsaved && m_unsaved->noAging;
    }
    if (!checkStored())
        return std::nullopt;
    clearError();
    return m_summary.noArchive(); // flags come with every summary, complete or not
}

std::optional<bool> ImapMailItem::unRead()
{
    if (m_isNew) {
        clearError();
        return m_unsaved && m_unsaved->unread;
    }
    if (!checkStored())
        return std::nullopt;
    clearError();
    return !m_summary.seen();
}

std::optional<qint64> ImapMailItem::size()
{
    if (m_isNew && m_unsaved)
        return m_unsaved->mime.size();
    if (m_summary.size < 0) {
        setError(ErrorKind::NotFound, QStringLiteral("The message size is unknown"));
        return std::nullopt;
    }
    clearError();
    return m_summary.size;
}

BatchActions* ImapMailItem::batchActions()
{
    if (m_isNew || m_gone || m_summary.uid == 0)
        return nullptr;
    return &m_backend->batchActions(m_store);
}

bool ImapMailItem::takeOutcome(ItemOutcome outcome)
{
    if (!outcome.done) {
        setError(outcome.error);
        return false;
    }
    clearError();
    return true;
}

bool ImapMailItem::deleteItem()
{
    if (!checkStored())
        return false;
    MailItem* self = this;
    ItemOutcome outcome = std::move(m_backend->batchActions(m_store).remove({&self, 1}).front());
    m_made = std::move(outcome.moved);
    return takeOutcome(std::move(outcome));
}

bool ImapMailItem::deletePermanently()
{
    if (!checkStored())
        return false;
    MailItem* self = this;
    return takeOutcome(
        std::move(m_backend->batchActions(m_store).removePermanently({&self, 1}).front()));
}

std::unique_ptr<MailItem> ImapMailItem::move(Folder& destination)
{
    if (!checkStored())
        return nullptr;
    MailItem* self = this;
    ItemOutcome outcome =
        std::move(m_backend->batchActions(m_store).move({&self, 1}, destination).front());
    std::unique_ptr<MailItem> moved = std::move(outcome.moved);
    if (!takeOutcome(std::move(outcome)))
        return nullptr;
    if (!moved) {
        setError(ErrorKind::Unsupported,
                 QStringLiteral("The message was moved, but the server did not say under which "
                                "number"));
        return nullptr;
    }
    return moved;
}

bool ImapMailItem::copyTo(Folder& destination)
{
    if (!checkStored())
        return false;
    MailItem* self = this;
    ItemOutcome outcome =
        std::move(m_backend->batchActions(m_store).copy({&self, 1}, destination).front());
    m_made = std::move(outcome.moved);
    return takeOutcome(std::move(outcome));
}

std::optional<RawMessage> ImapMailItem::rawMessage()
{
    if (m_isNew) {
        if (!m_unsaved) {
            setError(ErrorKind::Invalid, QStringLiteral("The message has no content yet"));
            return std::nullopt;
        }
        clearError();
        return msg::rawMessageOf(*m_unsaved);
    }
    if (!checkStored())
        return std::nullopt;
    PlatformError error;
    std::optional<RawMessage> message =
        m_backend->message(m_store, m_mailbox, m_validity, m_summary.uid, &error);
    if (!message) {
        setError(error);
        return std::nullopt;
    }
    clearError();
    return message;
}

bool ImapMailItem::save()
{
    if (!m_isNew) {
        if (!checkStored())
            return false;
        clearError(); // nothing changed that the server does not hold already
        return true;
    }
    if (!m_unsaved) {
        setError(ErrorKind::Invalid, QStringLiteral("The message has no content to save"));
        return false;
    }
    PlatformError error;
    std::unique_ptr<ImapMailItem> stored =
        appendTo(m_backend, m_store, m_mailbox, msg::rawMessageOf(*m_unsaved), &error);
    if (!stored) {
        setError(error);
        return false;
    }
    MessageSummary kept = summaryOfMime(*m_unsaved);
    kept.uid = stored->uid();
    kept.flags = stored->m_summary.flags;
    kept.keywords = stored->m_summary.keywords;
    m_summary = std::move(kept);
    m_validity = stored->validity();
    m_isNew = false;
    m_unsaved.reset();
    clearError();
    return true;
}

bool ImapMailItem::importFile(const QString& path, int format)
{
    PlatformError error;
    std::optional<msg::MsgEnvelope> envelope = msg::readMsgForImport(path, format, m_isNew, &error);
    if (!envelope) {
        setError(error);
        return false;
    }
    m_unsaved = std::move(envelope);
    m_summary = summaryOfMime(*m_unsaved);
    clearError();
    return true;
}

bool ImapMailItem::saveAs(const QString& path, int format)
{
    if (format != kMsgFormat) {
        setError(ErrorKind::Unsupported, QStringLiteral("Only .msg files can be written"));
        return false;
    }
    msg::MsgEnvelope envelope;
    if (m_isNew) {
        if (!m_unsaved) {
            setError(ErrorKind::Invalid, QStringLiteral("The message has no content yet"));
            return false;
        }
        envelope = *m_unsaved;
    } else {
        std::optional<RawMessage> raw = rawMessage();
        if (!raw)
            return false;
        auto has = [](const QStringList& list, const char* name) {
            return list.contains(QLatin1String(name), Qt::CaseInsensitive);
        };
        envelope.mime = std::move(raw->content);
        envelope.unread = !has(raw->flags, kSeenFlag);
        envelope.flagged = has(raw->flags, "\\Flagged");
        envelope.answered = has(raw->flags, "\\Answered");
        envelope.forwarded = has(raw->keywords, "$Forwarded");
        envelope.noAging = has(raw->keywords, kNoArchiveKeyword);
        envelope.receivedTime = raw->received;
        envelope.creationTime = raw->received;
        envelope.lastModificationTime = raw->received;
    }
    PlatformError error;
    if (!msg::writeMsgFile(envelope, path, &error)) {
        setError(error);
        return false;
    }
    clearError();
    return true;
}

} // namespace kestrel::platform::imap
