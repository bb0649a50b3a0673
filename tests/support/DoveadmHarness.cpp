#include "DoveadmHarness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace kestrel::test {

namespace {

DoveadmResult runProcess(const QString& program, const QStringList& args, const QByteArray& input)
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
    if (!process.waitForFinished(120000)) {
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

} // namespace

QString DoveadmHarness::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("doveadm"));
}

DoveadmHarness::DoveadmHarness(const QString& workDir)
    : m_workDir(QDir(workDir).absolutePath()), m_asNobody(::geteuid() == 0)
{
}

bool DoveadmHarness::fail(const QString& text) const
{
    m_error = text;
    return false;
}

QString DoveadmHarness::maildir() const
{
    return m_workDir + QStringLiteral("/Maildir");
}

bool DoveadmHarness::writeConfig()
{
    QFile config(m_workDir + QStringLiteral("/dovecot.conf"));
    const QByteArray text = "mail_location = maildir:" + QFile::encodeName(maildir()) +
                            "\nmail_home = " + QFile::encodeName(m_workDir) +
                            "\nssl = no\nlog_path = /dev/stderr\n";
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        config.write(text) != text.size())
        return fail(QStringLiteral("cannot write %1").arg(config.fileName()));
    config.close();
    return handOver();
}

bool DoveadmHarness::handOver()
{
    if (!m_asNobody)
        return true;
    // nobody must reach the work directory through its parent (a private temp dir).
    const QString parent = QFileInfo(m_workDir).absolutePath();
    QFile::setPermissions(parent, QFile::permissions(parent) | QFileDevice::ExeOther);
    const DoveadmResult chown =
        runProcess(QStringLiteral("chown"), {"-R", "nobody:nogroup", m_workDir}, {});
    return chown.ok() || fail(QStringLiteral("chown failed: %1").arg(QString::fromUtf8(chown.err)));
}

bool DoveadmHarness::useCopyOf(const QString& source)
{
    QDir().mkpath(m_workDir);
    QDir(maildir()).removeRecursively();
    const DoveadmResult copy =
        runProcess(QStringLiteral("cp"), {"-a", QDir(source).absolutePath(), maildir()}, {});
    if (!copy.ok())
        return fail(QStringLiteral("cp failed: %1").arg(QString::fromUtf8(copy.err)));
    return writeConfig();
}

bool DoveadmHarness::useEmpty()
{
    QDir(maildir()).removeRecursively();
    for (const char* sub : {"cur", "new", "tmp"}) {
        if (!QDir().mkpath(maildir() + '/' + sub))
            return fail(QStringLiteral("cannot create %1").arg(maildir()));
    }
    return writeConfig();
}

DoveadmResult DoveadmHarness::run(const QStringList& args, const QByteArray& input) const
{
    const QString config = m_workDir + QStringLiteral("/dovecot.conf");
    QStringList doveadm = {executable(), "-c", config};
    doveadm += args;
    if (!m_asNobody)
        return runProcess(doveadm.takeFirst(), doveadm, input);
    QStringList setpriv = {"--reuid=nobody", "--regid=nogroup",  "--clear-groups", "env",
                           "USER=nobody",    "HOME=" + m_workDir};
    // Same local time as the test process, for date searches.
    if (qEnvironmentVariableIsSet("TZ"))
        setpriv.append("TZ=" + qEnvironmentVariable("TZ"));
    return runProcess(QStringLiteral("setpriv"), setpriv + doveadm, input);
}

QStringList DoveadmHarness::mailboxes() const
{
    const DoveadmResult result = run({"mailbox", "list"});
    if (!result.ok()) {
        fail(QString::fromUtf8(result.err));
        return {};
    }
    QStringList names = QString::fromUtf8(result.out).split('\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

std::optional<int> DoveadmHarness::messageCount(const QString& mailbox) const
{
    const DoveadmResult result = run({"-f", "tab", "mailbox", "status", "messages", mailbox});
    const QStringList lines = QString::fromUtf8(result.out).split('\n', Qt::SkipEmptyParts);
    bool ok = false;
    // "mailbox\tmessages" then "NAME\tCOUNT".
    const int count = lines.value(1).section('\t', -1).toInt(&ok);
    if (!result.ok() || !ok) {
        fail(QString::fromUtf8(result.err));
        return std::nullopt;
    }
    return count;
}

std::optional<QList<DoveadmRow>>
DoveadmHarness::fetch(const QString& fields, const QString& mailbox, const QStringList& query) const
{
    const DoveadmResult result =
        run(QStringList{"-f", "tab", "fetch", fields, "mailbox", mailbox} + query);
    if (!result.ok()) {
        fail(QString::fromUtf8(result.err));
        return std::nullopt;
    }
    const QStringList lines = QString::fromUtf8(result.out).split('\n', Qt::SkipEmptyParts);
    QList<DoveadmRow> rows;
    const QStringList header = lines.value(0).split('\t');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines.at(i).split('\t');
        DoveadmRow row;
        for (qsizetype c = 0; c < header.size(); ++c)
            row.insert(header.at(c), cells.value(c));
        rows.append(row);
    }
    return rows;
}

} // namespace kestrel::test
