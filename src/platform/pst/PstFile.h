#pragma once

// One Outlook data file (.pst or .ost), opened for reading only. The file is
// never written: libpff opens it read-only, and a file that another program
// writes while it is open (its size, time or inode change, or it holds a lock
// on it) is refused rather than read half old, half new.

#include "../PlatformError.h"
#include "PffHandles.h"

#include <QString>

#include <optional>

namespace kestrel::platform::pst {

class PstFile {
public:
    PstFile(const PstFile&) = delete;
    PstFile& operator=(const PstFile&) = delete;
    ~PstFile();

    // Refuses (with the reason) a missing or unreadable file, one locked for
    // writing by another program, one that is not an Outlook data file, and
    // one protected by a password.
    static std::unique_ptr<PstFile> open(const QString& path, PlatformError* error);

    // False, with the reason, once the file has changed since it was opened.
    bool checkUnchanged(PlatformError* error) const;

    libpff_file_t* handle() const { return m_file.get(); }
    const QString& path() const { return m_path; }
    bool isOst() const { return m_isOst; }

private:
    struct Stamp {
        qint64 size = -1;
        qint64 mtimeNs = 0;
        quint64 inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    PstFile() = default;
    static std::optional<Stamp> stampOf(int fd);

    QString m_path;
    int m_fd = -1; // held open, with a shared lock, for as long as the file is read
    Stamp m_stamp;
    PffFile m_file;
    bool m_isOst = false;
};

} // namespace kestrel::platform::pst
