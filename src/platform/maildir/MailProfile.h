#pragma once

// The mail profile: who the user is and which Maildir++ stores to show.
//
//   [Profile]
//   UserName=Demo User
//   UserAddress=demo.user@example.com
//   DefaultStore=Personal Folders
//   [Store1]
//   Name=Personal Folders
//   Path=personal        (relative to the profile's directory, or absolute)
//   [Store2] ...
//
// Stores are read from [Store1] upwards until a number is missing. The file
// lives at $KESTREL_PROFILE, else $XDG_CONFIG_HOME/kestrel-mailkeep/profile.ini
// (XDG_CONFIG_HOME defaults to ~/.config).

#include "../PlatformError.h"

#include <QList>
#include <QString>

#include <optional>

namespace kestrel::platform::maildir {

struct StoreEntry {
    QString name;
    QString path; // absolute, cleaned
};

struct MailProfile {
    QString userName;
    QString userAddress;
    QList<StoreEntry> stores; // profile order
    int defaultStore = 0;     // index into stores: DefaultStore by name, else the first

    // Where the profile is read from (see above).
    static QString location();
    // Fails (Invalid / NotFound) for a missing or unreadable file, one without
    // stores, and one whose stores share a name or a folder (the text names both).
    static std::optional<MailProfile> load(const QString& file, PlatformError* error);
};

} // namespace kestrel::platform::maildir
