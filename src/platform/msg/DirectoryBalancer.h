#pragma once

// libgsf links the entries of a storage as one long chain of right siblings.
// Readers that walk the directory recursively (olefile, for one) give up past
// about a thousand entries in one storage, as a message with many recipients
// has. This rewrites each storage's sibling tree of a finished compound file
// as a balanced red-black tree with the same order.

#include <QByteArray>
#include <QString>

namespace kestrel::platform::msg {

// Returns false and leaves `file` as it was when its layout is not understood.
bool balanceDirectory(QByteArray& file);

// True when the directory of `file` is a proper tree below a root entry: no
// entry reached twice, no index out of range, no unused entry linked in.
// libgsf leaks on directories that are not.
bool isDirectoryTree(const QByteArray& file);

} // namespace kestrel::platform::msg

namespace kestrel::platform::msg {

// The name of a stream in the tree that claims more bytes than `file` holds
// (libgsf leaves such a stream out without a word); empty when there is none.
QString oversizedStream(const QByteArray& file);

} // namespace kestrel::platform::msg
