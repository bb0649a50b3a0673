#pragma once

// The mail profile: who the user is and which stores to show, each opened by
// the backend its Type names.
//
//   [Profile]
//   UserName=Demo User
//   UserAddress=demo.user@example.com
//   DefaultStore=Personal Folders
//   [Store1]
//   Name=Personal Folders
//   Path=personal        (relative to the profile's directory, or absolute)
//   Type=maildir         (the backend; maildir when absent)
//   [Store2]
//   Name=Work mail
//   Type=imap            (a server store: no Path, its own keys instead)
//   Host=imap.example.com
//   Port=993
//   Security=tls         (tls, starttls or none)
//   User=demo
//   PasswordCommand=pass show mail/work   (optional; never a password itself)
//   CertificateFingerprint=AB:CD:...      (optional SHA-256 of a trusted certificate)
//   [Store3] ...
//
// Stores are read from [Store1] upwards until a number is missing. The file
// lives at $KESTREL_PROFILE, else $XDG_CONFIG_HOME/kestrel-mailkeep/profile.ini
// (XDG_CONFIG_HOME defaults to ~/.config).

#include "PlatformError.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace kestrel::platform {

inline constexpr const char* kDefaultStoreType = "maildir";

struct StoreEntry {
    QString name;
    QString path;                                    // absolute, cleaned; empty for a server
    QString type = QLatin1String(kDefaultStoreType); // the backend's name, lower case
    QMap<QString, QString> settings; // every other key of the store's section, as written
};

// Whether a store of this type lives in a folder named by Path (every type
// but a server's).
bool storeTypeHasPath(const QString& type);

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

} // namespace kestrel::platform
