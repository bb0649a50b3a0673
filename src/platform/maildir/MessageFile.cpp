#include "MessageFile.h"

#include "FileAccess.h"
#include "NativeName.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

MessageFile::MessageFile(QString folderDir, MessageEntry entry)
    : m_dir(std::move(folderDir)), m_entry(std::move(entry))
{
}

void MessageFile::relocate(const MessageEntry& entry)
{
    m_entry = entry;
    m_path.clear();
    m_name.reset();
    m_statLoaded = false;
}

FileFacts MessageFile::takeFacts()
{
    FileFacts facts{m_statLoaded, m_mtime, m_ctime, m_statSize, std::move(m_headerBlock)};
    if (facts.headerBlock)
        facts.headerBlock->squeeze(); // a read buffer's spare room is not worth keeping
    m_headerBlock.reset();
    m_fields.reset();
    return facts;
}

void MessageFile::adoptFacts(FileFacts facts, std::shared_ptr<const HeaderFields> fields)
{
    if (facts.statLoaded && !m_statLoaded) {
        m_mtime = facts.mtime;
        m_ctime = facts.ctime;
        m_statSize = facts.size;
        m_statLoaded = true;
    }
    if (facts.headerBlock && !m_headerBlock && !m_headers) {
        m_headerBlock = std::move(facts.headerBlock);
        if (fields)
            m_fields = *fields;
    }
}

bool MessageFile::loadStat(PlatformError* error)
{
    if (m_statLoaded)
        return true;
    struct stat st {};
    if (::lstat(nativePath(path()).constData(), &st) != 0) {
        const int code = errno;
        if (error)
            *error =
                PlatformError::fromErrno(code, QStringLiteral("The message file is gone"), path());
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        if (error)
            *error = {ErrorKind::Invalid, -1,
                      S_ISLNK(st.st_mode)
                          ? QStringLiteral("The message file is a symbolic link, which is not "
                                           "followed")
                          : QStringLiteral("The message is not a regular file"),
                      path()};
        return false;
    }
    setStat(st);
    return true;
}

bool MessageFile::checkRegular(PlatformError* error)
{
    return loadStat(error);
}

FileFacts FileFacts::ofStat(const struct stat& st)
{
    FileFacts facts;
    facts.statLoaded = true;
    facts.mtime = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    facts.ctime = qint64(st.st_ctim.tv_sec) * 1000 + st.st_ctim.tv_nsec / 1000000;
    facts.size = qint64(st.st_size);
    return facts;
}

void MessageFile::setStat(const struct stat& st)
{
    const FileFacts facts = FileFacts::ofStat(st);
    m_mtime = facts.mtime;
    m_ctime = facts.ctime;
    m_statSize = facts.size;
    m_statLoaded = true;
}

std::optional<qint64> MessageFile::receivedMsecs(PlatformError* error)
{
    if (!loadStat(error))
        return std::nullopt;
    return m_mtime;
}

std::optional<qint64> MessageFile::creationMsecs(PlatformError* error)
{
    if (std::optional<qint64> fromName = name().creationMsecs())
        return fromName;
    return receivedMsecs(error);
}

std::optional<qint64> MessageFile::lastModifiedMsecs(PlatformError* error)
{
    const std::optional<qint64> created = creationMsecs(error);
    if (!created || !loadStat(error))
        return std::nullopt;
    return qMax(*created, m_ctime);
}

std::optional<qint64> MessageFile::size(PlatformError* error)
{
    if (std::optional<qint64> fromName = MessageFileName::sizeFieldOf(m_entry.fileName))
        return fromName;
    if (!loadStat(error))
        return std::nullopt;
    return m_statSize;
}

bool MessageFile::loadHeaderBlock(PlatformError* error)
{
    if (m_headers || m_headerBlock)
        return true;
    m_headerBlock = readHeaderBlock(path(), error);
    return m_headerBlock.has_value();
}

bool MessageFile::loadHeaderBlockAt(int dirFd, PlatformError* error)
{
    if (m_headers || m_headerBlock)
        return true;
    struct stat st {};
    const int fd = openMessageFileAt(dirFd, m_entry.fileName, path(), &st, error);
    if (fd < 0)
        return false;
    m_headerBlock = readHeaderBlock(fd, path(), error);
    return m_headerBlock.has_value();
}

void MessageFile::readOpened(int fd, const struct stat& st)
{
    if (!m_statLoaded)
        setStat(st);
    if (m_headers || m_headerBlock) {
        ::close(fd);
        return;
    }
    // No error is asked for, so no path is built: the next look reports it.
    m_headerBlock = readHeaderBlock(fd, QString(), nullptr);
}

const HeaderFields* MessageFile::fields()
{
    if (!m_headerBlock)
        return nullptr;
    if (!m_fields)
        m_fields.emplace(*m_headerBlock);
    return m_fields->readable() ? &*m_fields : nullptr;
}

std::optional<qint64> MessageFile::sentOnMsecs(PlatformError* error)
{
    if (!loadHeaderBlock(error))
        return std::nullopt;
    std::optional<qint64> date;
    if (const HeaderFields* found = m_headers ? nullptr : fields()) {
        date = found->dateMsecs();
    } else if (const MessageHeaders* parsed = headers(error)) {
        date = parsed->dateMsecs;
    } else {
        return std::nullopt;
    }
    if (!date && error)
        *error = {ErrorKind::NotFound, -1, QStringLiteral("The message has no valid Date header"),
                  path()};
    return date;
}

std::optional<QString> MessageFile::subject(PlatformError* error)
{
    if (!loadHeaderBlock(error))
        return std::nullopt;
    if (const HeaderFields* found = m_headers ? nullptr : fields())
        return found->subject();
    const MessageHeaders* parsed = headers(error);
    return parsed ? std::optional(parsed->subject) : std::nullopt;
}

std::optional<QList<MailAddress>> MessageFile::from(PlatformError* error)
{
    if (!loadHeaderBlock(error))
        return std::nullopt;
    if (const HeaderFields* found = m_headers ? nullptr : fields()) {
        if (!m_from)
            m_from = found->from();
        return m_from;
    }
    const MessageHeaders* parsed = headers(error);
    return parsed ? std::optional(parsed->from) : std::nullopt;
}

const MessageHeaders* MessageFile::headers(PlatformError* error)
{
    if (!m_headers) {
        if (!loadHeaderBlock(error))
            return nullptr;
        m_headers = MessageHeaders::parse(*m_headerBlock);
        m_headerBlock.reset();
        m_fields.reset();
    }
    return &*m_headers;
}

std::optional<ContentKind> MessageFile::kind(PlatformError* error)
{
    if (m_headers)
        return m_headers->kind;
    if (!m_headerBlock)
        m_headerBlock = readHeaderBlock(path(), error);
    if (!m_headerBlock)
        return std::nullopt;
    if (const HeaderFields* found = fields()) {
        if (const std::optional<ContentKind> plain = found->plainKind())
            return plain;
    }
    return MessageHeaders::kindOf(*m_headerBlock);
}

} // namespace kestrel::platform::maildir
