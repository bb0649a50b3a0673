#pragma once

// Writes a whole file so that it appears under its final name complete or not
// at all: a temporary name in the same directory, fsync, a rename that never
// replaces an existing entry, fsync of the directory.

#include "platform/PlatformError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kestrel::platform::msg {

// While one lives on this thread, writeFileAtomically leaves out its fsyncs
// (of the file and of its directory): the caller makes many files durable at
// once with FileSystemSync, which costs far less than two syncs per file. Until then a file may be
// lost or cut short by a power cut.
class DeferredSync {
public:
    DeferredSync();
    ~DeferredSync();
    DeferredSync(const DeferredSync&) = delete;
    DeferredSync& operator=(const DeferredSync&) = delete;
};

// Returns false and fills error when the file cannot be written whole; error
// kind Exists when something already has the final name (it is left alone).
bool writeFileAtomically(const QString& path, const QByteArray& data, PlatformError* error);

// Removes temporary files that a killed writer left in directory: only names
// of our own pattern, and only when the writer that made them is gone or they
// have not been written to for a long time. Returns how many were removed.
int removeStaleTemporaryFiles(const QString& directory);

// A new name in directory for a temporary file of this process, of the
// pattern removeStaleTemporaryFiles knows.
QString temporaryPath(const QString& directory);

// Moves from to to; error kind Exists (and nothing moved) when to exists.
bool renameNoReplace(const QString& from, const QString& to, PlatformError* error);

// The file system holding a folder, opened before files are written there,
// so that its sync also hears of a writeback that failed in between.
class FileSystemSync {
public:
    explicit FileSystemSync(const QString& directory);
    ~FileSystemSync();
    FileSystemSync(const FileSystemSync&) = delete;
    FileSystemSync& operator=(const FileSystemSync&) = delete;

    // Makes the files (their data and times) durable: one sync of the whole
    // file system where that reaches every file, else a sync of each file
    // (a network or user-space file system).
    bool sync(const QStringList& files, PlatformError* error);

private:
    QString m_directory;
    int m_fd = -1;
    int m_openError = 0;
    bool m_wholeSystem = false;
};
// Makes the names made in directory (renames, new files) durable.
bool syncDirectory(const QString& directory, PlatformError* error);

} // namespace kestrel::platform::msg
