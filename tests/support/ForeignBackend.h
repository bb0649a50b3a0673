#pragma once

// A second backend that is real: the Maildir backend under the type name
// "maildir-foreign". Its stores are another backend's to the stores of type
// maildir, so that moves between them take the way every pair of different
// backends takes (the raw message), not a rename. Its items act in sets, as a
// server's do: they hand out one BatchActions per namespace, which goes
// through the Maildir items one by one and records every set it was given.

#include "platform/MailPlatform.h"
#include "platform/PlatformRegistry.h"

#include <QString>

#include <memory>
#include <vector>

namespace kestrel::test {

inline constexpr const char* kForeignType = "maildir-foreign";
// The same, with every folder saying that its store can only be read, as an
// Outlook data file's do. Nothing below stops a change: what refuses it is
// the program's own check.
inline constexpr const char* kReadOnlyType = "maildir-readonly";

// One call of the foreign backend's BatchActions.
struct ForeignBatch {
    QString action;                            // "move", "copy" or "remove"
    std::vector<platform::ErrorKind> outcomes; // None for a done item
};

struct ForeignBatchLog {
    std::vector<ForeignBatch> batches;
    std::vector<qsizetype> sizes() const;
};

// The installed backends, the foreign one and the read-only one; their sets
// go into log when given.
platform::BackendRegistry withForeignBackend(std::shared_ptr<ForeignBatchLog> log = {});

} // namespace kestrel::test
