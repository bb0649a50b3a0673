#pragma once

// One logged-in IMAP connection of a store, shared by all its objects. Every
// command goes through run(): a connection that dropped is opened again once
// and the command repeated when repeating it is safe; the caller re-checks
// the state of commands that are not.

#include "../PlatformError.h"
#include "ImapAccount.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

struct mailimap;

namespace kestrel::platform::imap {

class ImapConnection {
public:
    // password: the only one to use (a test of the connection asks nobody),
    // else findPassword is asked, and asked again once after a refusal.
    explicit ImapConnection(ImapAccount account, std::optional<QString> password = std::nullopt);
    ~ImapConnection();
    ImapConnection(const ImapConnection&) = delete;
    ImapConnection& operator=(const ImapConnection&) = delete;

    const ImapAccount& account() const { return m_account; }
    // Connects and logs in when not connected.
    bool open(PlatformError* error);
    void close();
    bool isOpen() const { return m_session != nullptr; }
    bool hasCapability(const char* name) const;
    // The server certificate's SHA-256, once TLS got that far.
    const QString& certificateFingerprint() const { return m_fingerprint; }
    // The last connection failed because that certificate is not trusted.
    bool certificateRefused() const { return m_certificateRefused; }

    enum class Retry { Safe, Never };
    // Runs command (a libetpan call returning its code) on the open connection.
    // what names the command in errors. *dropped tells the caller that the
    // connection was lost during it (the command may or may not have been
    // carried out).
    bool run(const std::function<int(mailimap*)>& command, Retry retry, const QString& what,
             PlatformError* error, bool* dropped = nullptr);

    // Inside a command: selects mailbox unless it is selected already.
    int select(mailimap* session, const QByteArray& mailbox);
    // UIDVALIDITY of the selected mailbox (0 when none).
    uint32_t selectedValidity() const { return m_selectedValidity; }
    const QByteArray& selectedMailbox() const { return m_selected; }
    // A later command must select again (after one that may change the selection).
    void forgetSelection();

private:
    bool connect(PlatformError* error);
    bool login(PlatformError* error);
    bool checkCertificate(PlatformError* error);
    void drop();
    PlatformError errorOf(int code, const QString& what) const;
    QString serverWords() const;

    ImapAccount m_account;
    std::optional<QString> m_password;
    bool m_mayAsk = true;
    mailimap* m_session = nullptr;
    QString m_fingerprint;
    bool m_certificateRefused = false;
    QByteArray m_selected;
    uint32_t m_selectedValidity = 0;
};

// Whether a libetpan code means the connection itself failed.
bool isConnectionFailure(int code);

} // namespace kestrel::platform::imap
