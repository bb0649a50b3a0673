#pragma once

// The mail root that notmuch indexes: database.path of its configuration
// (a key file: "[database]" then "path=..."), relative paths below home.

#include <QString>

#include <optional>

namespace kestrel::platform::maildir {

class NotmuchConfig {
public:
    // Nothing when the file cannot be read or names no path.
    static std::optional<QString> databasePath(const QString& configFile, const QString& home);
};

} // namespace kestrel::platform::maildir
