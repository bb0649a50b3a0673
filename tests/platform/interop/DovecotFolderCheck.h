#pragma once

#include "DoveadmHarness.h"

#include <QString>

namespace kestrel::test {

// Compares what doveadm reports for one mailbox with the folder's files on
// disk: the same messages (by the unique part of their names), received dates
// (mtime), \Seen, \Flagged, \Answered and the $NoArchive keyword. Returns an
// empty text when they agree, else the first difference.
QString compareFolderWithDovecot(const DoveadmHarness& doveadm, const QString& mailbox,
                                 const QString& folderDir);

// The directory of a Dovecot mailbox name in a Maildir++ tree.
QString folderDirOfMailbox(const QString& maildir, const QString& mailbox);

} // namespace kestrel::test
