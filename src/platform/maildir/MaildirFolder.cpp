#include "MaildirFolder.h"

#include "EntryId.h"
#include "FileAccess.h"
#include "FolderTree.h"
#include "MaildirFolderCollection.h"
#include "MaildirItemCollection.h"
#include "MaildirMailItem.h"
#include "MaildirName.h"
#include "MessageFileName.h"
#include "MessageTransfer.h"
#include "NativeName.h"
#include "RawFlags.h"
#include "platform/FolderPath.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

// IMAP serves every line with CRLF; Maildir files (and their S= size) have LF.
// Only such a message is changed, and only its CRLF pairs: one with LF line
// ends already is stored as it is, a CRLF inside it included.
QByteArray withLfLineEnds(const QByteArray& content)
{
    const qsizetype lines = content.count('\n');
    if (lines == 0 || content.count("\r\n") != lines)
        return content;
    QByteArray converted = content;
    return converted.replace("\r\n", "\n");
}

} // namespace

MaildirFolder::MaildirFolder(std::shared_ptr<MaildirBackend> backend, FolderRef ref)
    : m_backend(std::move(backend)), m_ref(std::move(ref))
{
}

std::optional<QString> MaildirFolder::name()
{
    clearError();
    return m_ref.isStoreRoot() ? m_backend->store(m_ref.store).name : m_ref.names.last();
}

std::optional<QString> MaildirFolder::storeId()
{
    clearError();
    return EntryId::forStore(m_backend->store(m_ref.store).path);
}

std::optional<QString> MaildirFolder::entryId()
{
    clearError();
    return EntryId::forFolder(m_backend->store(m_ref.store).path, m_ref.dirName);
}

std::optional<QString> MaildirFolder::folderPath()
{
    clearError();
    return FolderPath(m_backend->store(m_ref.store).name, m_ref.names).toString();
}

std::optional<bool> MaildirFolder::isStoreRoot()
{
    clearError();
    return m_ref.isStoreRoot();
}

std::optional<int> MaildirFolder::defaultItemType()
{
    clearError();
    if (m_ref.isStoreRoot())
        return MailFolderType;
    // Read through an fd opened without following links: the marker is ours.
    const int fd = ::open(
        nativePath(m_backend->folderDir(m_ref) + '/' + QLatin1String(kFolderTypeFile)).constData(),
        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    QFile marker;
    if (fd < 0 || !marker.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return MailFolderType;
    }
    bool ok = false;
    const int type = marker.read(64).trimmed().toInt(&ok);
    return ok && type >= 0 ? type : int(MailFolderType);
}

std::unique_ptr<ItemCollection> MaildirFolder::items()
{
    clearError();
    return std::make_unique<MaildirItemCollection>(m_backend, m_ref);
}

std::unique_ptr<FolderCollection> MaildirFolder::folders()
{
    clearError();
    return std::make_unique<MaildirFolderCollection>(m_backend, m_ref);
}

std::unique_ptr<MailItem> MaildirFolder::addItem()
{
    clearError();
    return MaildirMailItem::createUnsaved(
        m_backend, m_ref.isStoreRoot() ? FolderRef::inbox(m_ref.store) : m_ref);
}

std::unique_ptr<MailItem> MaildirFolder::append(const RawMessage& message)
{
    const FolderRef target = m_ref.isStoreRoot() ? FolderRef::inbox(m_ref.store) : m_ref;
    const QString destDir = m_backend->folderDir(target);
    const QByteArray content = withLfLineEnds(message.content);
    PlatformError error;
    std::optional<QString> letters;
    if (checkFolderDirs(destDir, target.isInbox(), true, &error) &&
        ensureMaildirDirs(destDir, &error))
        letters = rawFlagLetters(message, destDir, &error);
    const std::optional<QString> fileName =
        letters
            ? MessageTransfer::store(
                  content, destDir, *letters,
                  message.received.isValid() ? message.received.toMSecsSinceEpoch() : -1, &error)
            : std::nullopt;
    if (!fileName) {
        setError(error);
        return nullptr;
    }
    const MessageEntry entry{*fileName, false, false};
    m_backend->remember(destDir, MessageFileName::parse(*fileName).unique, entry);
    clearError();
    return std::make_unique<MaildirMailItem>(m_backend, target, entry);
}

} // namespace kestrel::platform::maildir
