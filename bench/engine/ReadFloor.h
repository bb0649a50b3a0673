#pragma once

#include <QString>

namespace kestrel::bench {

// The floor of a restrict on a header field, and what brings a store into the
// page cache: readdir of cur/ and new/, then open, read 4 kB and close each
// message. Returns how many were read.
qint64 readFirstBlockOfEach(const QString& storeDir);

} // namespace kestrel::bench
