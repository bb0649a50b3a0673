#pragma once

// How the backend touches files in a store. A store's messages are regular
// files and its folders real directories inside it: a symbolic link could
// lead out of the store (an export would read, a move then delete, files
// elsewhere), and a FIFO or device would block or never end. Such entries are
// refused with a reason, never followed, and never block.

#include "../PlatformError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

struct stat;

namespace kestrel::platform::maildir {

// The most of a message that is read into memory at once (an export or a
// look for a calendar part); larger messages are refused with Invalid.
inline constexpr qint64 kMaxMessageBytes = qint64(1) << 30;

// Opens a message file for reading without following a symbolic link and
// without blocking; refuses anything but a regular file. Returns the fd (the
// caller closes it) and its stat, or -1 with *error.
int openMessageFile(const QString& path, struct stat* st, PlatformError* error);
// The same for the entry `name` of the open directory dirFd (a listing's
// cur/ or new/), which spares walking the whole path; path names the file in errors.
int openMessageFileAt(int dirFd, const QString& name, const QString& path, struct stat* st,
                      PlatformError* error);
// The same for a native name (NUL-terminated) without building any text: -1
// with errno set, ELOOP for a link, EINVAL for a file that is not regular.
int openRegularAt(int dirFd, const char* nativeName, struct stat* st);
// The same for a name's bytes as a listing holds them (not NUL-terminated).
int openRegularAt(int dirFd, QByteArrayView nativeName, struct stat* st);
// lstat() of such a name relative to dirFd.
bool lstatAt(int dirFd, QByteArrayView nativeName, struct stat* st);
// The whole message file, refused when larger than maxBytes.
std::optional<QByteArray> readMessageFile(const QString& path, qint64 maxBytes,
                                          PlatformError* error);

// A folder directory and its cur/ and new/ (tmp/ too when withTmp) are real
// directories or missing. storeRoot: the directory itself is the store's
// Maildir root, which the profile names and which may be a link.
bool checkFolderDirs(const QString& dir, bool storeRoot, bool withTmp, PlatformError* error);

// A directory open for the *at() calls on its entries (fd -1 when it cannot
// be opened), closed with the handle.
struct DirectoryHandle {
    explicit DirectoryHandle(const QString& path);
    ~DirectoryHandle();
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    const int fd;
};

// lstat() of the path (a link is not followed) succeeded.
bool entryExists(const QString& path);
// A real directory, not a link to one.
bool isRealDirectory(const QString& path);

} // namespace kestrel::platform::maildir
