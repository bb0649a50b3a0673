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

// One call of the foreign backend's BatchActions.
struct ForeignBatch {
    QString action;                            // "move", "copy" or "remove"
    std::vector<platform::ErrorKind> outcomes; // None for a done item
};

struct ForeignBatchLog {
    std::vector<ForeignBatch> batches;
    std::vector<qsizetype> sizes() const;
};

// The installed backends and the foreign one; its sets go into log when given.
platform::BackendRegistry withForeignBackend(std::shared_ptr<ForeignBatchLog> log = {});

} // namespace kestrel::test
