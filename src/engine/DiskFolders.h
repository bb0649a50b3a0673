#pragma once

// Disk folders of a disk destination: where a store folder's items go, and
// making sure that directory exists.

#include <QString>

namespace kestrel::engine {

// The folder's path below its store: the short path ("Store\Inbox\Clients")
// without its store level ("Inbox\Clients"); a store's root gives the store
// name itself.
QString RelativeFolderPath(const QString& shortFolderPath);

// A folder's name as a directory name: escaped as in a folder path, and a
// leading "." written "%2E", so that no level is special or hidden.
QString DiskFolderName(const QString& folderName);

// root (ending in "/") + the folder's levels below its store (the store's
// name for its root), each a nested directory named by DiskFolderName
// ("Inbox\Q1%2FQ2" becomes "Inbox/Q1%2FQ2").
QString GetDiskTargetFolder(const QString& root, const QString& shortFolderPath);

// True when path is an existing directory; never fails otherwise.
bool DiskFolderExists(const QString& path);

// Creates every missing level of path (blanks at both ends trimmed). False
// for an empty path or when a level cannot be created; levels made stay.
bool CreateDiskFolder(const QString& path);

} // namespace kestrel::engine
