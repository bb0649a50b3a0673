#include "ImapTestServer.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <grp.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel::test {

namespace {

// Dovecot 2.3's capabilities after login; imap_capability replaces them all.
const char* const kCapabilities[] = {"IMAP4rev1",
                                     "SASL-IR",
                                     "LOGIN-REFERRALS",
                                     "ID",
                                     "ENABLE",
                                     "IDLE",
                                     "SORT",
                                     "SORT=DISPLAY",
                                     "THREAD=REFERENCES",
                                     "THREAD=REFS",
                                     "THREAD=ORDEREDSUBJECT",
                                     "MULTIAPPEND",
                                     "URL-PARTIAL",
                                     "CATENATE",
                                     "UNSELECT",
                                     "CHILDREN",
                                     "NAMESPACE",
                                     "UIDPLUS",
                                     "LIST-EXTENDED",
                                     "I18NLEVEL=1",
                                     "CONDSTORE",
                                     "QRESYNC",
                                     "ESEARCH",
                                     "ESORT",
                                     "SEARCHRES",
                                     "WITHIN",
                                     "CONTEXT=SEARCH",
                                     "LIST-STATUS",
                                     "BINARY",
                                     "MOVE",
                                     "SNIPPET=FUZZY",
                                     "PREVIEW=FUZZY",
                                     "PREVIEW",
                                     "STATUS=SIZE",
                                     "SAVEDATE",
                                     "LITERAL+",
                                     "NOTIFY",
                                     "SPECIAL-USE"};

DoveadmResult runProcess(const QString& program, const QStringList& args,
                         const QByteArray& input = {})
{
    QProcess process;
    process.start(program, args);
    DoveadmResult result;
    if (!process.waitForStarted(10000)) {
        result.err = process.errorString().toUtf8();
        return result;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        result.err = "timed out";
        return result;
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

// A port nobody listens on now (the kernel's pick for port 0).
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

QByteArray callerName()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QByteArray(entry->pw_name) : QByteArray();
}

QByteArray callerGroup()
{
    const group* entry = ::getgrgid(::getegid());
    return entry ? QByteArray(entry->gr_name) : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size() && file.flush();
}

// The last cell of the second line of doveadm's -f tab output.
QString lastCell(const QByteArray& out)
{
    return QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts).value(1).section('\t', -1);
}

} // namespace

ImapTestServer::ImapTestServer() : m_asRoot(::geteuid() == 0) {}

ImapTestServer::~ImapTestServer()
{
    stop();
}

QString ImapTestServer::executable()
{
    return QFileInfo::exists(QStringLiteral("/usr/sbin/dovecot"))
               ? QStringLiteral("/usr/sbin/dovecot")
               : QString();
}

bool ImapTestServer::fail(const QString& text) const
{
    m_error = text;
    return false;
}

QString ImapTestServer::configPath() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("dovecot.conf")) : QString();
}

QString ImapTestServer::certificatePath() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("cert.pem")) : QString();
}

QString ImapTestServer::mailRoot() const
{
    return m_dir ? m_dir->filePath(QStringLiteral("mail")) : QString();
}

QByteArray ImapTestServer::log() const
{
    QFile file(m_dir ? m_dir->filePath(QStringLiteral("dovecot.log")) : QString());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ImapTestServer::prepare()
{
    if (m_dir)
        return true;
    if (executable().isEmpty())
        return fail(QStringLiteral("dovecot is not installed"));
    auto dir = std::make_unique<TempDir>();
    if (!dir->isValid())
        return fail(QStringLiteral("no temporary directory"));
    // The mail user (nobody as root) walks through it to its mail and home.
    QFile::setPermissions(dir->path(), QFile::permissions(dir->path()) | QFileDevice::ExeOther |
                                           QFileDevice::ReadOther);
    m_dir = std::move(dir);
    for (const char* sub : {"mail/cur", "mail/new", "mail/tmp", "home", "run", "state"}) {
        if (!QDir().mkpath(m_dir->filePath(QLatin1String(sub))))
            return fail(QStringLiteral("cannot create %1").arg(m_dir->filePath(sub)));
    }
    const QByteArray passwd = user().toUtf8() + ":{PLAIN}" + password().toUtf8() + "\n";
    if (!writeFile(m_dir->filePath(QStringLiteral("passwd")), passwd))
        return fail(QStringLiteral("cannot write the passwd file"));
    return writeCertificate() && handOver();
}

bool ImapTestServer::writeCertificate()
{
    const QString key = m_dir->filePath(QStringLiteral("key.pem"));
    const DoveadmResult made =
        runProcess(QStringLiteral("openssl"),
                   {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", key, "-out", certificatePath(), "-days", "3650", "-subj",
                    "/CN=localhost", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"});
    if (!made.ok())
        return fail(QStringLiteral("openssl req failed: %1").arg(QString::fromUtf8(made.err)));
    // doveadm reads the configuration, key included, as the mail user.
    QFile::setPermissions(key, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                   QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QFile pem(certificatePath());
    if (!pem.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(certificatePath()));
    QByteArray base64;
    for (const QByteArray& line : pem.readAll().split('\n')) {
        if (!line.startsWith("-----"))
            base64 += line.trimmed();
    }
    m_fingerprint = QString::fromLatin1(
        QCryptographicHash::hash(QByteArray::fromBase64(base64), QCryptographicHash::Sha256)
            .toHex());
    return true;
}

bool ImapTestServer::handOver()
{
    if (!m_asRoot)
        return true;
    const DoveadmResult chown = runProcess(
        QStringLiteral("chown"), {"-R", "nobody:nogroup", mailRoot(), m_dir->filePath("home")});
    return chown.ok() || fail(QStringLiteral("chown failed: %1").arg(QString::fromUtf8(chown.err)));
}

bool ImapTestServer::writeConfig()
{
    const QByteArray root = QFile::encodeName(m_dir->path());
    const QByteArray runAs = m_asRoot ? QByteArray("nobody") : callerName();
    const QByteArray group = m_asRoot ? QByteArray("nogroup") : callerGroup();
    QStringList capabilities;
    for (const char* capability : kCapabilities) {
        if (!m_options.withoutCapabilities.contains(QLatin1String(capability), Qt::CaseInsensitive))
            capabilities.append(QLatin1String(capability));
    }
    QByteArray text;
    text += "base_dir = " + root + "/run\n";
    text += "state_dir = " + root + "/state\n";
    text += "log_path = " + root + "/dovecot.log\n";
    text += "protocols = imap\nlisten = 127.0.0.1\n";
    text += "default_internal_user = " + runAs + "\ndefault_internal_group = " + group +
            "\ndefault_login_user = " + runAs + "\n";
    text += "auth_mechanisms = plain login\ndisable_plaintext_auth = no\nauth_failure_delay = 0\n";
    text += "ssl = yes\nssl_cert = <" + root + "/cert.pem\nssl_key = <" + root + "/key.pem\n";
    text += "mail_location = maildir:" + root + "/mail\n";
    text += "imap_capability = " + capabilities.join(' ').toLatin1() + "\n";
    text += "mail_max_userip_connections = 100\n";
    text += "passdb {\n  driver = passwd-file\n  args = " + root + "/passwd\n}\n";
    text += "userdb {\n  driver = static\n  args = uid=" + runAs + " gid=" + group +
            " home=" + root + "/home\n}\n";
    text +=
        "namespace inbox {\n  inbox = yes\n  separator = " + QString(m_options.separator).toUtf8() +
        "\n";
    if (m_options.trashSpecialUse)
        text += "  mailbox Trash {\n    special_use = \\Trash\n    auto = subscribe\n  }\n";
    text += "}\n";
    text += "service imap-login {\n  chroot =\n  inet_listener imap {\n    port = " +
            QByteArray::number(m_port) +
            "\n  }\n  inet_listener imaps {\n    port = " + QByteArray::number(m_tlsPort) +
            "\n    ssl = yes\n  }\n}\n";
    // Without the penalty socket a refused login does not slow every later
    // login from 127.0.0.1 by seconds (the auth process logs one error).
    text += "service anvil {\n  chroot =\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  "
            "}\n}\n";
    if (!writeFile(configPath(), text))
        return fail(QStringLiteral("cannot write %1").arg(configPath()));
    return true;
}

bool ImapTestServer::start(const ImapServerOptions& options)
{
    if (isRunning())
        return fail(QStringLiteral("the server is running"));
    m_options = options;
    if (!prepare())
        return false;
    const bool freshPorts = m_port == 0;
    // Another process may take a port between our pick and Dovecot's bind.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (freshPorts) {
            m_port = freePort();
            m_tlsPort = freePort();
            if (m_port == 0 || m_tlsPort == 0 || m_port == m_tlsPort)
                continue;
        }
        if (!writeConfig())
            return false;
        if (launch() && waitUntilListening())
            return true;
        stop();
        if (!freshPorts) // the old ports may take a moment to be free again
            QThread::msleep(500);
    }
    return false;
}

bool ImapTestServer::launch()
{
    m_process.setProgram(executable());
    m_process.setArguments({"-F", "-c", configPath()});
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // The server goes when the thread that started it does, also on a crash.
    // Its own process group holds every process it starts, so that stop() can
    // end the imap sessions too: they outlive the master otherwise.
    m_process.setChildProcessModifier([] {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return fail(QStringLiteral("dovecot did not start: %1").arg(m_process.errorString()));
    return true;
}

bool ImapTestServer::waitUntilListening()
{
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running || m_process.waitForFinished(0)) {
            return fail(QStringLiteral("dovecot stopped: %1\n%2")
                            .arg(QString::fromUtf8(m_process.readAll()),
                                 QString::fromUtf8(log().right(2000))));
        }
        if (accepts(m_port) && accepts(m_tlsPort))
            return true;
        QThread::msleep(20);
    }
    return fail(QStringLiteral("dovecot does not listen on %1 and %2").arg(m_port).arg(m_tlsPort));
}

bool ImapTestServer::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

void ImapTestServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // Dovecot's master leaves its imap processes running when it ends: the
    // whole group is told, as a machine going down would, so every session is
    // closed with the server's goodbye.
    const pid_t group = pid_t(m_process.processId());
    ::kill(-group, SIGTERM);
    if (!m_process.waitForFinished(15000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    QDeadlineTimer deadline(5000);
    while (::kill(-group, 0) == 0 && !deadline.hasExpired())
        QThread::msleep(20);
    if (::kill(-group, SIGKILL) == 0) {
        deadline.setRemainingTime(5000);
        while (::kill(-group, 0) == 0 && !deadline.hasExpired())
            QThread::msleep(20);
    }
    deadline.setRemainingTime(5000);
    while (!deadline.hasExpired() && (accepts(m_port) || accepts(m_tlsPort)))
        QThread::msleep(20);
}

bool ImapTestServer::restart(std::optional<ImapServerOptions> options)
{
    stop();
    return start(options.value_or(m_options));
}

DoveadmResult ImapTestServer::doveadm(const QStringList& args, const QByteArray& input) const
{
    const QString home = m_dir ? m_dir->filePath(QStringLiteral("home")) : QString();
    QStringList command = {QStringLiteral("env"), "USER=" + user(), "HOME=" + home};
    // Same local time as the test process, for date searches.
    if (qEnvironmentVariableIsSet("TZ"))
        command.append("TZ=" + qEnvironmentVariable("TZ"));
    command += QStringList{QStringLiteral("doveadm"), "-c", configPath()} + args;
    if (m_asRoot) {
        command = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"} + command;
        return runProcess(QStringLiteral("setpriv"), command, input);
    }
    return runProcess(command.takeFirst(), command, input);
}

QStringList ImapTestServer::mailboxes() const
{
    const DoveadmResult result = doveadm({"mailbox", "list"});
    if (!result.ok()) {
        fail(QString::fromUtf8(result.err));
        return {};
    }
    QStringList names = QString::fromUtf8(result.out).split('\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

std::optional<int> ImapTestServer::messageCount(const QString& mailbox) const
{
    const DoveadmResult result = doveadm({"-f", "tab", "mailbox", "status", "messages", mailbox});
    bool ok = false;
    // "mailbox\tmessages" then "NAME\tCOUNT".
    const int count = lastCell(result.out).toInt(&ok);
    if (!result.ok() || !ok) {
        fail(QStringLiteral("doveadm mailbox status %1: %2")
                 .arg(mailbox, QString::fromUtf8(result.err)));
        return std::nullopt;
    }
    return count;
}

std::optional<quint32> ImapTestServer::uidValidity(const QString& mailbox) const
{
    const DoveadmResult result =
        doveadm({"-f", "tab", "mailbox", "status", "uidvalidity", mailbox});
    bool ok = false;
    const quint32 value = lastCell(result.out).toUInt(&ok);
    if (!result.ok() || !ok) {
        fail(QStringLiteral("doveadm mailbox status %1: %2")
                 .arg(mailbox, QString::fromUtf8(result.err)));
        return std::nullopt;
    }
    return value;
}

bool ImapTestServer::setUidValidity(const QString& mailbox, quint32 value)
{
    const DoveadmResult result =
        doveadm({"mailbox", "update", "--uid-validity", QString::number(value), mailbox});
    return result.ok() || fail(QStringLiteral("doveadm mailbox update %1: %2")
                                   .arg(mailbox, QString::fromUtf8(result.err)));
}

bool ImapTestServer::createMailbox(const QString& mailbox)
{
    const DoveadmResult result = doveadm({"mailbox", "create", mailbox});
    return result.ok() || fail(QStringLiteral("doveadm mailbox create %1: %2")
                                   .arg(mailbox, QString::fromUtf8(result.err)));
}

std::optional<QList<DoveadmRow>>
ImapTestServer::fetch(const QString& fields, const QString& mailbox, const QStringList& query) const
{
    const DoveadmResult result =
        doveadm(QStringList{"-f", "tab", "fetch", fields, "mailbox", mailbox} + query);
    if (!result.ok()) {
        fail(QStringLiteral("doveadm fetch %1: %2").arg(mailbox, QString::fromUtf8(result.err)));
        return std::nullopt;
    }
    // A message without flags is an empty line when "flags" is the only field.
    QStringList lines = QString::fromUtf8(result.out).split('\n');
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    const QStringList header = lines.value(0).split('\t');
    QList<DoveadmRow> rows;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines.at(i).split('\t');
        DoveadmRow row;
        for (qsizetype c = 0; c < header.size(); ++c)
            row.insert(header.at(c), cells.value(c));
        rows.append(row);
    }
    return rows;
}

std::optional<QString> ImapTestServer::mailboxDir(const QString& mailbox)
{
    if (!mailboxes().contains(mailbox) && !createMailbox(mailbox))
        return std::nullopt;
    const DoveadmResult result = doveadm({"-f", "tab", "mailbox", "path", mailbox});
    const QString path = lastCell(result.out);
    if (!result.ok() || path.isEmpty()) {
        fail(QStringLiteral("doveadm mailbox path %1: %2")
                 .arg(mailbox, QString::fromUtf8(result.err)));
        return std::nullopt;
    }
    return path;
}

bool ImapTestServer::adopt()
{
    if (!handOver())
        return false;
    const DoveadmResult result = doveadm({"force-resync", "*"});
    return result.ok() ||
           fail(QStringLiteral("doveadm force-resync: %1").arg(QString::fromUtf8(result.err)));
}

bool ImapTestServer::deliver(const QString& mailbox, const QList<MessageSpec>& messages)
{
    if (!prepare())
        return false;
    const std::optional<QString> dir = mailboxDir(mailbox);
    const std::optional<int> before = dir ? messageCount(mailbox) : std::nullopt;
    if (!before)
        return false;
    TempMaildir writer(m_dir->path());
    writer.addStore(mailbox, *dir);
    for (MessageSpec spec : messages) {
        spec.store = mailbox;
        spec.folder = QStringLiteral("Inbox");
        if (writer.addMessage(spec).isEmpty())
            return fail(QStringLiteral("cannot write a message into %1").arg(*dir));
    }
    if (!adopt())
        return false;
    const std::optional<int> after = messageCount(mailbox);
    if (!after)
        return false;
    if (*after != *before + messages.size())
        return fail(QStringLiteral("%1 holds %2 messages, expected %3")
                        .arg(mailbox)
                        .arg(*after)
                        .arg(*before + messages.size()));
    return true;
}

} // namespace kestrel::test
