#pragma once

// An IMAP store of the mail profile: where the server is and who logs in.
// The password is never part of it (see Credentials.h).

#include "../MailProfile.h"
#include "../PlatformError.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::platform::imap {

inline constexpr const char* kImapStoreType = "imap";

enum class Security { Tls, StartTls, None };

struct ImapAccount {
    QString storeName; // the store's Name= (the root folder's name)
    QString host;
    int port = 993;
    Security security = Security::Tls;
    QString user;
    QString passwordCommand;        // optional
    QString certificateFingerprint; // optional SHA-256, hex with or without colons

    // The account of a Type=imap store's section (Host, Port, Security, User,
    // PasswordCommand, CertificateFingerprint). Invalid for a missing host or
    // user, a bad port or an unknown security word.
    static std::optional<ImapAccount> fromStore(const StoreEntry& store, PlatformError* error);
    // The keys of a store section for this account (without Name and Type).
    QMap<QString, QString> toSettings() const;
    // The name the keyring keeps its password under: "imap://user@host:port".
    QString keyringKey() const;
};

// What "Test connection" found: the folders on success, else the reason. The
// server certificate's SHA-256 fingerprint is filled in whenever TLS got that
// far, so that the user can be shown it and choose to trust it.
struct ConnectionTest {
    PlatformError error;
    QStringList folders; // the server's folder names, decoded, with "/" between levels
    QString certificateFingerprint;
    bool certificateRefused = false; // the error is that certificate's not being trusted
};

// Logs in with password, lists the folders and logs out.
ConnectionTest testConnection(const ImapAccount& account, const QString& password);

} // namespace kestrel::platform::imap
