#include "Credentials.h"

#include <QProcess>

#include <signal.h>
#include <unistd.h>

namespace kestrel::platform::imap {

namespace {

PasswordSource* g_source = nullptr;

bool fail(PlatformError* error, ErrorKind kind, const QString& text, const QString& detail)
{
    if (error)
        *error = {kind, -1, text, detail};
    return false;
}

// Error output fit for one line of a dialog.
QString shortened(const QByteArray& output)
{
    QString text = QString::fromLocal8Bit(output).simplified();
    if (text.size() > 300)
        text = text.left(300) + QStringLiteral("...");
    return text;
}

} // namespace

void setPasswordSource(PasswordSource* source)
{
    g_source = source;
}

PasswordSource* passwordSource()
{
    return g_source;
}

std::optional<QString> runPasswordCommand(const QString& command, PlatformError* error,
                                          int timeoutMs)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    // Its own process group, so that a timeout ends what it started too (an
    // agent or pinentry left waiting would hold the output open).
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForStarted(timeoutMs)) {
        fail(error, ErrorKind::Io,
             QStringLiteral("The password command could not be run: %1").arg(process.errorString()),
             command);
        return std::nullopt;
    }
    if (!process.waitForFinished(timeoutMs)) {
        ::kill(-pid_t(process.processId()), SIGKILL);
        process.waitForFinished(5000);
        fail(error, ErrorKind::Io,
             QStringLiteral("The password command gave no answer within %1 seconds")
                 .arg(timeoutMs / 1000.0),
             command);
        return std::nullopt;
    }
    const QByteArray errors = process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString status = process.exitStatus() == QProcess::NormalExit
                                   ? QStringLiteral("exit status %1").arg(process.exitCode())
                                   : QStringLiteral("it crashed");
        fail(error, ErrorKind::AccessDenied,
             QStringLiteral("The password command failed (%1): %2").arg(status, shortened(errors)),
             command);
        return std::nullopt;
    }
    const QByteArray output = process.readAllStandardOutput();
    const qsizetype end = output.indexOf('\n');
    QByteArray line = end < 0 ? output : output.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        fail(error, ErrorKind::AccessDenied,
             QStringLiteral("The password command printed no password"), command);
        return std::nullopt;
    }
    if (error)
        *error = {};
    return QString::fromUtf8(line);
}

std::optional<QString> findPassword(const ImapAccount& account, const QString& whyAsked,
                                    PlatformError* error)
{
    if (!account.passwordCommand.isEmpty())
        return runPasswordCommand(account.passwordCommand, error);
    std::optional<QString> password =
        g_source ? g_source->password(account, whyAsked) : std::nullopt;
    if (password) {
        if (error)
            *error = {};
        return password;
    }
    fail(error, ErrorKind::AccessDenied,
         QStringLiteral("No password for %1").arg(account.keyringKey()), whyAsked);
    return std::nullopt;
}

} // namespace kestrel::platform::imap
