#pragma once

// Identifier texts of objects in Outlook data files. The store is named by
// its Name in the profile (percent-encoded), folders and messages by their
// node numbers in the file, which never change in a file that is only read.
//   store    "kmk-pst:store:<store>"
//   folder   "kmk-pst:folder:<store>:<folder>"
//   message  "kmk-pst:msg:<store>:<folder>:<message>"

#include <QString>

#include <cstdint>
#include <optional>

namespace kestrel::platform::pst {

struct PstEntryId {
    enum class Kind { Store, Folder, Message };
    Kind kind = Kind::Store;
    QString store;
    std::uint32_t folder = 0;
    std::uint32_t message = 0;

    QString toString() const;
    static std::optional<PstEntryId> parse(const QString& text);
};

} // namespace kestrel::platform::pst
