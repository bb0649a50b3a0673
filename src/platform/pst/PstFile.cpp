#include "PstFile.h"

#include "../msg/PropertyAccess.h"
#include "PstProperties.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::pst {

namespace {

constexpr std::uint16_t kPidPstPassword = 0x67FF; // PR_PST_PASSWORD: a CRC, 0 = none

PlatformError refusal(ErrorKind kind, const QString& text, const QString& path)
{
    return {kind, -1, text, path};
}

// libpff gives no text for some damage (a file cut short): the path alone then.
QString withDetail(const QString& path, const QString& libraryText)
{
    return libraryText.isEmpty() ? path : path + QStringLiteral(": ") + libraryText;
}

// Another program's write lock (a POSIX record lock or a BSD whole-file lock).
bool lockedForWriting(int fd)
{
    struct flock probe = {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type == F_WRLCK)
        return true;
    return flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

} // namespace

PstFile::~PstFile()
{
    m_file.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<PstFile::Stamp> PstFile::stampOf(int fd)
{
    struct stat st = {};
    if (fstat(fd, &st) != 0)
        return std::nullopt;
    return Stamp{qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                 quint64(st.st_ino)};
}

std::unique_ptr<PstFile> PstFile::open(const QString& path, PlatformError* error)
{
    std::unique_ptr<PstFile> file(new PstFile);
    file->m_path = path;
    const QByteArray native = QFile::encodeName(path);
    file->m_fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (file->m_fd < 0) {
        *error = PlatformError::fromErrno(errno,
                                          QStringLiteral("The Outlook data file cannot be "
                                                         "opened"),
                                          path);
        return nullptr;
    }
    const std::optional<Stamp> stamp = stampOf(file->m_fd);
    if (!stamp) {
        *error = PlatformError::fromErrno(errno,
                                          QStringLiteral("The Outlook data file cannot be "
                                                         "read"),
                                          path);
        return nullptr;
    }
    file->m_stamp = *stamp;
    if (lockedForWriting(file->m_fd)) {
        *error =
            refusal(ErrorKind::AccessDenied,
                    QStringLiteral("The Outlook data file is in use by another program"), path);
        return nullptr;
    }
    PffError pffError;
    if (libpff_check_file_signature(native.constData(), pffError.out()) != 1) {
        *error =
            refusal(ErrorKind::Invalid,
                    QStringLiteral("The file is not an Outlook data file (.pst or .ost)"), path);
        return nullptr;
    }
    libpff_file_t* raw = nullptr;
    if (libpff_file_initialize(&raw, pffError.out()) != 1) {
        *error = refusal(ErrorKind::Io, QStringLiteral("The Outlook data file cannot be read"),
                         pffError.text());
        return nullptr;
    }
    file->m_file.reset(raw);
    if (libpff_file_open(raw, native.constData(), LIBPFF_OPEN_READ, pffError.out()) != 1) {
        PffError ignored;
        libpff_file_free(&raw, ignored.out());
        file->m_file.release();
        *error = refusal(ErrorKind::Invalid,
                         QStringLiteral("The Outlook data file is damaged and cannot be opened"),
                         withDetail(path, pffError.text()));
        return nullptr;
    }
    uint8_t contentType = 0;
    if (libpff_file_get_content_type(raw, &contentType, nullptr) == 1)
        file->m_isOst = contentType == LIBPFF_FILE_CONTENT_TYPE_OST;

    libpff_item_t* storeRaw = nullptr;
    PffError storeError;
    if (libpff_file_get_message_store(raw, &storeRaw, storeError.out()) != 1 || !storeRaw) {
        *error = refusal(ErrorKind::Invalid,
                         QStringLiteral("The Outlook data file is damaged: it has no message "
                                        "store"),
                         withDetail(path, storeError.text()));
        return nullptr;
    }
    const PffItem store(storeRaw);
    const msg::PropertyMap storeProps = readPropertyMap(store.get(), PropertyFilter::SmallOnly);
    // An offline file keeps another value under this tag: only a .pst has a password.
    const auto password = msg::getLong(storeProps, kPidPstPassword);
    if (!file->m_isOst && password && *password) {
        *error = refusal(ErrorKind::AccessDenied,
                         QStringLiteral("The Outlook data file is protected by a password"), path);
        return nullptr;
    }
    *error = {};
    return file;
}

bool PstFile::checkUnchanged(PlatformError* error) const
{
    struct stat st = {};
    const QByteArray native = QFile::encodeName(m_path);
    if (::stat(native.constData(), &st) != 0) {
        *error = PlatformError::fromErrno(errno, QStringLiteral("The Outlook data file is gone"),
                                          m_path);
        return false;
    }
    const Stamp now{qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                    quint64(st.st_ino)};
    if (!(now == m_stamp) || lockedForWriting(m_fd)) {
        *error = refusal(ErrorKind::AccessDenied,
                         QStringLiteral("The Outlook data file is being changed by another "
                                        "program"),
                         m_path);
        return false;
    }
    return true;
}

} // namespace kestrel::platform::pst
