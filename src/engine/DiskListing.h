#pragma once

// Listings of a disk folder for the disk-folder source. Paths use "/"; a
// folder that cannot be listed gives an empty list.

#include <QString>
#include <QStringList>

namespace kestrel::engine {

// Bare names of the regular files of folderPath that match the wild-card
// pattern regardless of letter case ("*.msg" finds "A.MSG"), in the order the
// file system lists them. Hidden files (names starting with "."), symbolic
// links and anything else that is not a regular file are left out.
QStringList GetFileList(const QString& folderPath, const QString& pattern);

// Full paths (no trailing "/") of the sub-folders of folderPath, in listing
// order. Hidden folders and symbolic links are left out, so the walk never
// leaves the source tree and never meets a folder twice.
QStringList GetSubFolders(const QString& folderPath);

inline qsizetype GetArrayCount(const QStringList& list)
{
    return list.size();
}

// childFolder without topFolder's length of leading characters (not
// compared), and without one trailing "/": "/mail/" and "/mail/2004/Jan/"
// give "2004/Jan"; the top folder itself gives "".
QString GetFolderOffset(const QString& topFolder, const QString& childFolder);

// The part after the last "/"; the whole text when there is none.
QString GetLastFolder(const QString& folderPath);

} // namespace kestrel::engine
