#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::test {

struct DoveadmResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    bool ok() const { return exitCode == 0; }
};

// One row of `doveadm fetch`, by field name.
using DoveadmRow = QMap<QString, QString>;

// Runs the real doveadm, without a server, on a copy of a Maildir++ tree under
// a throw-away config. doveadm refuses to run as root, so as root the copy is
// handed to nobody and doveadm runs through setpriv; otherwise it runs as is.
class DoveadmHarness {
public:
    // Empty when doveadm is not installed.
    static QString executable();

    // workDir will be owned by nobody when running as root; its parent gets o+x.
    explicit DoveadmHarness(const QString& workDir);

    // Copies the tree to workDir/Maildir (keeping times) and writes the config.
    bool useCopyOf(const QString& maildir);
    // Starts an empty Maildir at workDir/Maildir.
    bool useEmpty();
    QString maildir() const;
    // Owner change after files were added to the copy by someone else.
    bool handOver();

    DoveadmResult run(const QStringList& args, const QByteArray& input = {}) const;

    // Every mailbox, as doveadm names them (INBOX, "INBOX.Clients", "Q1%2FQ2 Reports").
    QStringList mailboxes() const;
    // Messages of the mailbox, or nullopt when doveadm fails.
    std::optional<int> messageCount(const QString& mailbox) const;
    // `doveadm -f tab fetch FIELDS mailbox MAILBOX QUERY...`
    std::optional<QList<DoveadmRow>> fetch(const QString& fields, const QString& mailbox,
                                           const QStringList& query = {"all"}) const;

    const QString& lastError() const { return m_error; }

private:
    bool writeConfig();
    bool fail(const QString& text) const;

    QString m_workDir;
    bool m_asNobody;
    mutable QString m_error;
};

} // namespace kestrel::test
