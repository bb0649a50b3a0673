#include "MaildirMailItem.h"

#include "../DateRestriction.h"
#include "EntryId.h"
#include "FileAccess.h"
#include "FolderTree.h"
#include "KeywordFile.h"
#include "MaildirFolder.h"
#include "MaildirName.h"
#include "MessageTransfer.h"
#include "RawFlags.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

MaildirMailItem::MaildirMailItem(std::shared_ptr<MaildirBackend> backend, FolderRef folder,
                                 MessageEntry entry, bool seen, FileFacts facts,
                                 std::shared_ptr<const HeaderFields> fields)
    : m_backend(std::move(backend)), m_folder(std::move(folder)), m_resolved(seen)
{
    m_file.emplace(m_backend->folderDir(m_folder), std::move(entry));
    m_file->adoptFacts(std::move(facts), std::move(fields));
    // Links and special files are refused here, before anything reads,
    // moves or deletes through them.
    PlatformError error;
    if (!m_backend->checkFolderDirsRecently(
            m_file->folderDir(), m_folder.isStoreRoot() || m_folder.isInbox(), false, &error)) {
        setError(error);
        return;
    }
    // The listing's directory entry already told a regular file apart from a
    // link or special file; only entries it could not type cost an lstat.
    bool regular = m_file->entry().regular || m_file->checkRegular(&error);
    if (!regular && error.kind == ErrorKind::NotFound && resolve())
        regular = m_file->checkRegular(&error);
    if (!regular) {
        setError(error.ok() ? lastError() : error);
        return;
    }
    m_size = m_file->size(&error);
    if (!m_size)
        setError(error);
}

MaildirMailItem::MaildirMailItem(std::shared_ptr<MaildirBackend> backend, FolderRef folder)
    : m_backend(std::move(backend)), m_folder(std::move(folder)), m_isNew(true)
{
}

std::unique_ptr<MaildirMailItem>
MaildirMailItem::createUnsaved(std::shared_ptr<MaildirBackend> backend, FolderRef folder)
{
    return std::unique_ptr<MaildirMailItem>(
        new MaildirMailItem(std::move(backend), std::move(folder)));
}

bool MaildirMailItem::resolve()
{
    if (m_gone) {
        setError(ErrorKind::NotFound, QStringLiteral("The message was moved or deleted"));
        return false;
    }
    if (!m_file) {
        setError(ErrorKind::Invalid, QStringLiteral("The message is not saved"));
        return false;
    }
    // One look per object: items live for one step of a run, and a file that
    // vanishes after the look makes the operation itself fail with NotFound.
    if (m_resolved || entryExists(m_file->path())) {
        m_resolved = true;
        return true;
    }
    const std::optional<MessageEntry> found =
        m_backend->locate(m_file->folderDir(), m_file->name().unique);
    if (!found) {
        setError(ErrorKind::NotFound, QStringLiteral("The message is no longer in its folder"),
                 m_file->path());
        return false;
    }
    m_file->relocate(*found);
    m_resolved = true;
    return true;
}

bool MaildirMailItem::loadHeaderBlock()
{
    if (!resolve())
        return false;
    PlatformError error;
    const bool reading = !m_file->headerBlockLoaded();
    bool loaded = m_file->loadHeaderBlock(&error);
    if (!loaded && error.kind == ErrorKind::NotFound) {
        // Renamed by a flag change since it was seen: find it again once.
        m_resolved = false;
        if (resolve())
            loaded = m_file->loadHeaderBlock(&error);
    }
    if (!loaded)
        setError(error);
    else if (reading)
        m_backend->noteRead(m_file->folderDir(), m_file->entry());
    return loaded;
}

const MessageHeaders* MaildirMailItem::headers()
{
    if (m_isNew) {
        if (!m_unsaved) {
            setError(ErrorKind::Invalid, QStringLiteral("The message has no content yet"));
            return nullptr;
        }
        if (!m_unsavedHeaders)
            m_unsavedHeaders = MessageHeaders::parse(m_unsaved->mime);
        return &*m_unsavedHeaders;
    }
    if (!loadHeaderBlock())
        return nullptr;
    PlatformError error;
    const MessageHeaders* parsed = m_file->headers(&error);
    if (!parsed)
        setError(error);
    return parsed;
}

std::optional<QList<MailAddress>> MaildirMailItem::from()
{
    if (m_isNew) {
        const MessageHeaders* parsed = headers();
        return parsed ? std::optional(parsed->from) : std::nullopt;
    }
    if (!loadHeaderBlock())
        return std::nullopt;
    PlatformError error;
    std::optional<QList<MailAddress>> found = m_file->from(&error);
    if (!found)
        setError(error);
    return found;
}

QString MaildirMailItem::typeName()
{
    if (m_typeName)
        return *m_typeName;
    std::optional<ContentKind> found;
    if (m_isNew) {
        if (const MessageHeaders* parsed = headers())
            found = parsed->kind;
    } else if (resolve()) {
        PlatformError error;
        const bool reading = !m_file->headerBlockLoaded();
        found = m_file->kind(&error);
        if (!found && error.kind == ErrorKind::NotFound) {
            m_resolved = false;
            if (resolve())
                found = m_file->kind(&error);
        }
        if (found && reading)
            m_backend->noteRead(m_file->folderDir(), m_file->entry());
    }
    if (!found)
        return QString::fromLatin1(kMailItemType); // unreadable: still a message to act on
    ContentKind kind = *found;
    if (kind == ContentKind::MaybeMeeting) {
        // Most multipart mail is text with attachments: a look at the start of
        // the file for a calendar part spares parsing the whole message. An
        // invitation puts its calendar part first or second, before attachments.
        constexpr qint64 kCalendarLookBytes = 256 * 1024;
        QByteArray whole;
        if (m_isNew) {
            whole = m_unsaved->mime;
        } else {
            struct stat st {};
            const int fd = openMessageFile(m_file->path(), &st, nullptr);
            QFile file;
            if (fd >= 0 && st.st_size <= kMaxMessageBytes &&
                file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
                whole = file.read(kCalendarLookBytes);
                if (whole.toLower().contains("text/calendar"))
                    whole += file.readAll();
                else
                    whole.clear();
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
        kind =
            !whole.isEmpty() && isMeetingMessage(whole) ? ContentKind::Meeting : ContentKind::Mail;
    }
    clearError();
    m_typeName = QString::fromLatin1(kind == ContentKind::Report    ? kReportItemType
                                     : kind == ContentKind::Meeting ? kMeetingItemType
                                                                    : kMailItemType);
    return *m_typeName;
}

std::optional<QString> MaildirMailItem::entryId()
{
    if (!resolve())
        return std::nullopt;
    clearError();
    // The unique name outlives flag changes, so the identifier is made once.
    if (!m_entryId)
        m_entryId = EntryId::forMessage(m_backend->store(m_folder.store).path, m_folder.dirName,
                                        m_file->name().unique);
    m_backend->noteId({*m_entryId, m_folder, m_file->name().unique, m_file->entry()});
    return m_entryId;
}

std::optional<QString> MaildirMailItem::subject()
{
    std::optional<QString> found;
    if (m_isNew) {
        if (const MessageHeaders* parsed = headers())
            found = parsed->subject;
    } else if (loadHeaderBlock()) {
        PlatformError error;
        found = m_file->subject(&error);
        if (!found)
            setError(error);
    }
    if (found)
        clearError();
    return found;
}

std::optional<QString> MaildirMailItem::senderName()
{
    const std::optional<QList<MailAddress>> sender = from();
    if (!sender)
        return std::nullopt;
    clearError();
    return sender->isEmpty() ? QString() : displayName(sender->first());
}

std::optional<QString> MaildirMailItem::senderEmailAddress()
{
    const std::optional<QList<MailAddress>> sender = from();
    if (!sender)
        return std::nullopt;
    clearError();
    return sender->isEmpty() ? QString() : sender->first().address;
}

std::optional<QString> MaildirMailItem::receivedByName()
{
    const MessageHeaders* parsed = headers();
    if (!parsed)
        return std::nullopt;
    clearError();
    return platform::receivedByName({&parsed->to, &parsed->cc, &parsed->deliveredTo}, parsed->to,
                                    parsed->from, m_backend->profile().userAddress,
                                    m_backend->profile().userName);
}

std::optional<MailAddress> MaildirMailItem::firstRecipient()
{
    const MessageHeaders* parsed = headers();
    if (!parsed)
        return std::nullopt;
    clearError();
    return firstAddress({&parsed->to, &parsed->cc, &parsed->bcc});
}

std::optional<QString> MaildirMailItem::firstRecipientName()
{
    const std::optional<MailAddress> first = firstRecipient();
    if (!first)
        return std::nullopt;
    return displayName(*first);
}

std::optional<QString> MaildirMailItem::firstRecipientAddress()
{
    const std::optional<MailAddress> first = firstRecipient();
    if (!first)
        return std::nullopt;
    return first->address;
}

std::optional<QDateTime>
MaildirMailItem::timeOf(std::optional<qint64> (MessageFile::*read)(PlatformError*),
                        const QDateTime msg::MsgEnvelope::*unsaved)
{
    if (m_isNew) {
        if (!m_unsaved || !((*m_unsaved).*unsaved).isValid()) {
            setError(ErrorKind::NotFound, QStringLiteral("The new message has no such time"));
            return std::nullopt;
        }
        clearError();
        return ((*m_unsaved).*unsaved).toLocalTime();
    }
    const std::optional<qint64> msecs = msecsOf(read);
    return msecs ? std::optional(QDateTime::fromMSecsSinceEpoch(*msecs)) : std::nullopt;
}

std::optional<qint64>
MaildirMailItem::msecsOf(std::optional<qint64> (MessageFile::*read)(PlatformError*))
{
    if (!resolve())
        return std::nullopt;
    PlatformError error;
    const std::optional<qint64> msecs = ((*m_file).*read)(&error);
    if (!msecs) {
        setError(error);
        return std::nullopt;
    }
    clearError();
    return msecs;
}

std::optional<QDateTime> MaildirMailItem::creationTime()
{
    return timeOf(&MessageFile::creationMsecs, &msg::MsgEnvelope::creationTime);
}

std::optional<QDateTime> MaildirMailItem::receivedTime()
{
    return timeOf(&MessageFile::receivedMsecs, &msg::MsgEnvelope::receivedTime);
}

std::optional<QDateTime> MaildirMailItem::lastModificationTime()
{
    return timeOf(&MessageFile::lastModifiedMsecs, &msg::MsgEnvelope::lastModificationTime);
}

std::optional<QDateTime> MaildirMailItem::sentOn()
{
    const std::optional<qint64> msecs = sentOnMsecs();
    return msecs ? std::optional(QDateTime::fromMSecsSinceEpoch(*msecs)) : std::nullopt;
}

std::optional<qint64> MaildirMailItem::sentOnMsecs()
{
    std::optional<qint64> msecs;
    if (m_isNew) {
        const MessageHeaders* parsed = headers();
        if (!parsed)
            return std::nullopt;
        msecs = parsed->dateMsecs;
    } else {
        if (!loadHeaderBlock())
            return std::nullopt;
        msecs = m_file->sentOnMsecs(nullptr);
    }
    if (!msecs) {
        setError(ErrorKind::NotFound, QStringLiteral("The message has no valid Date header"));
        return std::nullopt;
    }
    clearError();
    return msecs;
}

std::optional<qint64> MaildirMailItem::dateMsecs(DateProperty property)
{
    // Every row of a run's report asks this: a local-time conversion here
    // would stat the system's zone file once per message.
    if (m_isNew && property != DateProperty::SentOn)
        return MailItem::dateMsecs(property);
    switch (property) {
    case DateProperty::ReceivedTime:
        return msecsOf(&MessageFile::receivedMsecs);
    case DateProperty::SentOn:
        return sentOnMsecs();
    case DateProperty::LastModificationTime:
        return msecsOf(&MessageFile::lastModifiedMsecs);
    case DateProperty::CreationTime:
        return msecsOf(&MessageFile::creationMsecs);
    }
    return std::nullopt;
}

std::optional<bool> MaildirMailItem::noAging()
{
    if (m_isNew) {
        clearError();
        return m_unsaved && m_unsaved->noAging;
    }
    if (!resolve())
        return std::nullopt;
    clearError();
    // Most mail carries no keyword at all: then the keyword file need not be read.
    const QString& flags = m_file->name().flags;
    if (std::none_of(flags.begin(), flags.end(), [](QChar f) { return f >= 'a' && f <= 'z'; }))
        return false;
    const std::optional<QChar> letter = KeywordFile::letterOf(
        KeywordFile::read(m_file->folderDir()), QLatin1String(kNoArchiveKeyword));
    return letter && m_file->name().hasFlag(*letter);
}

std::optional<bool> MaildirMailItem::unRead()
{
    if (m_isNew) {
        clearError();
        return m_unsaved && m_unsaved->unread;
    }
    if (!resolve())
        return std::nullopt;
    clearError();
    return !m_file->name().hasFlag('S');
}

std::optional<qint64> MaildirMailItem::size()
{
    if (m_isNew && m_unsaved)
        return m_unsaved->mime.size();
    if (!m_size) {
        setError(ErrorKind::NotFound, QStringLiteral("The message size is unknown"));
        return std::nullopt;
    }
    clearError();
    return m_size;
}

bool MaildirMailItem::deletePermanently()
{
    if (!resolve())
        return false;
    PlatformError error;
    if (!MessageTransfer::remove(m_file->path(), &error)) {
        setError(error);
        return false;
    }
    m_backend->forget(m_file->folderDir(), m_file->name().unique);
    m_gone = true;
    clearError();
    return true;
}

bool MaildirMailItem::deleteItem()
{
    if (!m_folder.names.isEmpty() && m_folder.names.first() == QLatin1String(kDeletedItemsName))
        return deletePermanently();
    if (!resolve())
        return false;
    PlatformError error;
    const std::optional<FolderRef> bin =
        FolderTree(*m_backend).deletedItems(m_folder.store, &error);
    if (!bin) {
        setError(error);
        return false;
    }
    const std::optional<MessageEntry> entry = transferTo(*bin, false);
    if (!entry)
        return false;
    m_gone = true;
    m_made = std::make_unique<MaildirMailItem>(m_backend, *bin, *entry);
    return true;
}

bool MaildirMailItem::isOwnFolder(Folder& destination) const
{
    const auto* folder = dynamic_cast<const MaildirFolder*>(&destination);
    return folder && folder->backend() == m_backend.get();
}

std::optional<RawMessage> MaildirMailItem::rawMessage()
{
    if (!resolve())
        return std::nullopt;
    PlatformError error;
    std::optional<QByteArray> content = readMessageFile(m_file->path(), kMaxMessageBytes, &error);
    const std::optional<qint64> received = content ? m_file->receivedMsecs(&error) : std::nullopt;
    if (!received) {
        setError(error);
        return std::nullopt;
    }
    RawMessage message;
    message.content = std::move(*content);
    message.received = QDateTime::fromMSecsSinceEpoch(*received);
    readRawFlags(m_file->name().flags, m_file->folderDir(), message);
    clearError();
    return message;
}

std::optional<FolderRef> MaildirMailItem::targetOf(Folder& destination)
{
    auto* folder = dynamic_cast<MaildirFolder*>(&destination);
    if (!folder || folder->backend() != m_backend.get()) {
        setError(ErrorKind::Unsupported,
                 QStringLiteral("The destination folder belongs to another session"));
        return std::nullopt;
    }
    return folder->ref().isStoreRoot() ? FolderRef::inbox(folder->ref().store) : folder->ref();
}

std::optional<MessageEntry> MaildirMailItem::transferTo(const FolderRef& target, bool copy)
{
    const QString destDir = m_backend->folderDir(target);
    PlatformError error;
    if (!m_backend->checkFolderDirsRecently(destDir, target.isInbox(), true, &error)) {
        setError(error);
        return std::nullopt;
    }
    QString flags =
        KeywordFile::translateFlags(m_file->name().flags, m_file->folderDir(), destDir, &error);
    // Two files of one unique name in a folder would share an identifier (and
    // Dovecot renames one): a message coming back to a folder that still holds
    // an older copy of it gets a new name.
    QString unique = m_file->name().unique;
    if (!copy && m_backend->holdsUnique(destDir, unique))
        unique = newUniqueName(m_size.value_or(0));
    std::optional<QString> fileName =
        MessageTransfer::transfer(m_file->path(), destDir, unique, flags, copy, &error);
    if (!fileName && error.kind == ErrorKind::NotFound) {
        // Renamed by a flag change since it was listed: find it again once,
        // and carry the flags it has now.
        m_resolved = false;
        if (resolve()) {
            flags = KeywordFile::translateFlags(m_file->name().flags, m_file->folderDir(), destDir,
                                                &error);
            fileName =
                MessageTransfer::transfer(m_file->path(), destDir, unique, flags, copy, &error);
        }
    }
    if (!fileName) {
        setError(error);
        return std::nullopt;
    }
    if (!copy)
        m_backend->forget(m_file->folderDir(), m_file->name().unique);
    // A rename keeps the file this item already found regular, and a copy is
    // a file just written: neither needs another look.
    const MessageEntry entry{*fileName, false, true};
    m_backend->remember(destDir, MessageFileName::parse(*fileName).unique, entry);
    clearError();
    return entry;
}

std::unique_ptr<MailItem> MaildirMailItem::move(Folder& destination)
{
    if (!isOwnFolder(destination)) {
        PlatformError error;
        std::unique_ptr<MailItem> moved = moveAcross(*this, destination, &error);
        setError(error);
        return moved;
    }
    const std::optional<FolderRef> target = targetOf(destination);
    if (!target || !resolve())
        return nullptr;
    const std::optional<MessageEntry> entry = transferTo(*target, false);
    if (!entry)
        return nullptr;
    m_gone = true;
    // The rename has just put the file there.
    return std::make_unique<MaildirMailItem>(m_backend, *target, *entry, true);
}

bool MaildirMailItem::copyTo(Folder& destination)
{
    if (!isOwnFolder(destination)) {
        PlatformError error;
        m_made = copyAcross(*this, destination, &error);
        setError(error);
        return m_made != nullptr;
    }
    const std::optional<FolderRef> target = targetOf(destination);
    if (!target || !resolve())
        return false;
    const std::optional<MessageEntry> entry = transferTo(*target, true);
    if (!entry)
        return false;
    m_made = std::make_unique<MaildirMailItem>(m_backend, *target, *entry, true);
    return true;
}

bool MaildirMailItem::save()
{
    if (!m_isNew) {
        if (!resolve())
            return false;
        clearError(); // nothing changed that is not on disk already
        return true;
    }
    if (!m_unsaved) {
        setError(ErrorKind::Invalid, QStringLiteral("The message has no content to save"));
        return false;
    }
    const QString destDir = m_backend->folderDir(m_folder);
    PlatformError error;
    if (!checkFolderDirs(destDir, m_folder.isInbox() || m_folder.isStoreRoot(), true, &error) ||
        !ensureMaildirDirs(destDir, &error)) {
        setError(error);
        return false;
    }
    QString flags;
    for (const auto& [set, letter] : {std::pair{!m_unsaved->unread, 'S'},
                                      {m_unsaved->flagged, 'F'},
                                      {m_unsaved->answered, 'R'},
                                      {m_unsaved->forwarded, 'P'}}) {
        if (set)
            flags += QLatin1Char(letter);
    }
    if (m_unsaved->noAging) {
        const std::optional<QChar> letter =
            KeywordFile::ensure(destDir, QLatin1String(kNoArchiveKeyword), &error);
        if (!letter) {
            setError(error);
            return false;
        }
        flags += *letter;
    }
    const qint64 received =
        m_unsaved->receivedTime.isValid() ? m_unsaved->receivedTime.toMSecsSinceEpoch() : -1;
    const std::optional<QString> fileName =
        MessageTransfer::store(m_unsaved->mime, destDir, flags, received, &error);
    if (!fileName) {
        setError(error);
        return false;
    }
    const MessageEntry entry{*fileName, false, false};
    m_file.emplace(destDir, entry);
    m_backend->remember(destDir, m_file->name().unique, entry);
    m_size = m_unsaved->mime.size();
    m_isNew = false;
    m_unsaved.reset();
    m_unsavedHeaders.reset();
    clearError();
    return true;
}

bool MaildirMailItem::importFile(const QString& path, int format)
{
    PlatformError error;
    std::optional<msg::MsgEnvelope> envelope = msg::readMsgForImport(path, format, m_isNew, &error);
    if (!envelope) {
        setError(error);
        return false;
    }
    m_unsaved = std::move(envelope);
    m_unsavedHeaders.reset();
    m_typeName.reset();
    clearError();
    return true;
}

bool MaildirMailItem::saveAs(const QString& path, int format)
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
        if (!resolve())
            return false;
        PlatformError error;
        std::optional<QByteArray> content =
            readMessageFile(m_file->path(), kMaxMessageBytes, &error);
        if (!content) {
            setError(error);
            return false;
        }
        envelope.mime = std::move(*content);
        envelope.unread = unRead().value_or(false);
        envelope.noAging = noAging().value_or(false);
        envelope.flagged = m_file->name().hasFlag('F');
        envelope.answered = m_file->name().hasFlag('R');
        envelope.forwarded = m_file->name().hasFlag('P');
        // In UTC: the file holds instants, and each local time would ask the
        // C library for the zone, which rereads it from disk.
        const auto instant = [this](std::optional<qint64> (MessageFile::*read)(PlatformError*)) {
            PlatformError ignored;
            const std::optional<qint64> msecs = ((*m_file).*read)(&ignored);
            return msecs ? QDateTime::fromMSecsSinceEpoch(*msecs, Qt::UTC) : QDateTime();
        };
        envelope.receivedTime = instant(&MessageFile::receivedMsecs);
        envelope.creationTime = instant(&MessageFile::creationMsecs);
        envelope.lastModificationTime = instant(&MessageFile::lastModifiedMsecs);
    }
    PlatformError error;
    if (!msg::writeMsgFile(envelope, path, &error)) {
        setError(error);
        return false;
    }
    clearError();
    return true;
}

} // namespace kestrel::platform::maildir
