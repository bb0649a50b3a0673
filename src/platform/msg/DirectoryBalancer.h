#pragma once

// libgsf links the entries of a storage as one long chain of right siblings.
// Readers that walk the directory recursively (olefile, for one) give up past
// about a thousand entries in one storage, as a message with many recipients
// has. This rewrites each storage's sibling tree of a finished compound file
// as a balanced red-black tree with the same order.

#include <QByteArray>

namespace kestrel::platform::msg {

// Returns false and leaves `file` as it was when its layout is not understood.
bool balanceDirectory(QByteArray& file);

// True when the directory of `file` is a proper tree below a root entry: no
// entry reached twice, no index out of range, no unused entry linked in.
// libgsf leaks on directories that are not.
bool isDirectoryTree(const QByteArray& file);

} // namespace kestrel::platform::msg
