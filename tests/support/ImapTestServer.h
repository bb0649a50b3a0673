#pragma once

// A throw-away Dovecot IMAP server on 127.0.0.1 for tests and benchmarks:
//   ImapTestServer server;
//   ASSERT_TRUE(server.start()) << server.lastError();
//   server.deliver("Archive", {{.date = d}});   // Maildir files, then indexed
//   ... connect to server.host():server.port() (plain/STARTTLS) or tlsPort() (TLS)
//   ... with server.user() / server.password() ...
//   auto rows = server.fetch("uid flags", "Archive");
// Its configuration, mail, certificate and log live in one temporary directory.
// The server is stopped on destruction and dies with the thread that started it,
// so a crashed test leaves no server behind. As root (CI) the master runs as root
// and everything else as nobody; otherwise every process runs as the caller.
//
// Mailbox names are the server's ("INBOX", "Archive", "Archive/2020" with the
// default separator). Mail is Maildir++ below mailRoot(): INBOX is the root,
// "Archive/2020" is mailRoot()/.Archive.2020; Dovecot keeps non-ASCII names
// there in modified UTF-7, so ask mailboxDir() rather than guess.

#include "DoveadmHarness.h"
#include "TempDir.h"
#include "TempMaildir.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace kestrel::test {

struct ImapServerOptions {
    // Capabilities the server leaves out after login, e.g. {"MOVE"}. Dovecot
    // still accepts their commands; a client must not send them.
    QStringList withoutCapabilities{};
    // Gives "Trash" the \Trash special use (and creates it).
    bool trashSpecialUse = true;
    QChar separator = QLatin1Char('/');
};

class ImapTestServer {
public:
    ImapTestServer();
    ~ImapTestServer();
    ImapTestServer(const ImapTestServer&) = delete;
    ImapTestServer& operator=(const ImapTestServer&) = delete;

    // Empty when dovecot is not installed.
    static QString executable();

    // Writes the configuration (first time: certificate, users, free ports) and
    // starts the server; true once both ports accept connections.
    bool start(const ImapServerOptions& options = {});
    // Stops the server with every session it has open, and waits for it to
    // release its ports. Mail is kept.
    void stop();
    // stop() and start() on the same ports and mail, with the options given
    // (the last ones when none are).
    bool restart(std::optional<ImapServerOptions> options = std::nullopt);
    bool isRunning() const;

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return m_port; }       // plain, STARTTLS offered
    int tlsPort() const { return m_tlsPort; } // implicit TLS
    QString user() const { return QStringLiteral("kestrel"); }
    QString password() const { return QStringLiteral("Sesame 7 open"); }
    // SHA-256 of the certificate (DER), lowercase hex without colons.
    QString certificateFingerprint() const { return m_fingerprint; }
    QString certificatePath() const;
    QString configPath() const;
    // The Maildir++ root of the user's mail (INBOX).
    QString mailRoot() const;
    // The directory of a mailbox (created first when missing), from Dovecot.
    std::optional<QString> mailboxDir(const QString& mailbox);
    // The server's log so far.
    QByteArray log() const;

    // Writes the messages as Maildir files into the mailbox (created when
    // missing; MessageSpec.store and .folder are not used), hands them to the
    // server's user and checks that the server counts every one. The files'
    // times are the INTERNALDATEs. Far faster than APPEND for big mailboxes.
    bool deliver(const QString& mailbox, const QList<MessageSpec>& messages);
    // The same after files were written below mailRoot() by other means: gives
    // them to the server's user and lets Dovecot index every mailbox.
    bool adopt();

    // doveadm with the server's configuration, as the server's mail user
    // (nobody as root), for user() without a userdb lookup: it works whether
    // the server runs or not. No "-u" needed.
    DoveadmResult doveadm(const QStringList& args, const QByteArray& input = {}) const;
    QStringList mailboxes() const;
    std::optional<int> messageCount(const QString& mailbox) const;
    // `doveadm -f tab fetch FIELDS mailbox MAILBOX QUERY...`, e.g. "uid flags"
    // (fields whose values hold no tab or line end).
    std::optional<QList<DoveadmRow>> fetch(const QString& fields, const QString& mailbox,
                                           const QStringList& query = {"all"}) const;
    std::optional<quint32> uidValidity(const QString& mailbox) const;
    // Gives the mailbox a new UIDVALIDITY (a client that had it open is
    // disconnected by the server).
    bool setUidValidity(const QString& mailbox, quint32 value);
    bool createMailbox(const QString& mailbox);

    const QString& lastError() const { return m_error; }

private:
    bool prepare();
    bool writeCertificate();
    bool writeConfig();
    bool handOver();
    bool launch();
    bool waitUntilListening();
    bool fail(const QString& text) const;

    std::unique_ptr<TempDir> m_dir;
    ImapServerOptions m_options;
    QProcess m_process;
    int m_port = 0;
    int m_tlsPort = 0;
    QString m_fingerprint;
    bool m_asRoot;
    mutable QString m_error;
};

} // namespace kestrel::test
