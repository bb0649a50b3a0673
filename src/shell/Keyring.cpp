#include "Keyring.h"

#include "ProductName.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <memory>

namespace kestrel::shell {

namespace {

using platform::ErrorKind;
using platform::PlatformError;

struct Answer {
    bool finished = false;
    QKeychain::Error code = QKeychain::NoError;
    QString text;
    QString secret;
};

ErrorKind kindOf(QKeychain::Error code)
{
    switch (code) {
    case QKeychain::NoError:
        return ErrorKind::None;
    case QKeychain::EntryNotFound:
        return ErrorKind::NotFound;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return ErrorKind::AccessDenied;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return ErrorKind::Unsupported;
    default:
        return ErrorKind::Io;
    }
}

// Starts job and runs the event loop until it finishes or timeoutMs pass. A
// job that outlives the wait deletes itself when it ends; the answer it
// fills then is shared, so nothing it touches is gone.
std::shared_ptr<Answer> waitFor(QKeychain::Job* job, int timeoutMs,
                                const std::function<void(Answer&)>& take = {})
{
    auto answer = std::make_shared<Answer>();
    job->setAutoDelete(true);
    job->setInsecureFallback(false); // never a plain-text file
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop,
                     [answer, take, &loop](QKeychain::Job* done) {
                         answer->finished = true;
                         answer->code = done->error();
                         answer->text = done->errorString();
                         if (take && answer->code == QKeychain::NoError)
                             take(*answer);
                         loop.quit();
                     });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!answer->finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    QObject::disconnect(job, nullptr, &loop, nullptr);
    return answer;
}

bool failed(const Answer& answer, const QString& what, int timeoutMs, PlatformError* error)
{
    if (answer.finished && answer.code == QKeychain::NoError)
        return false;
    if (!error)
        return true;
    if (!answer.finished)
        *error = {
            ErrorKind::Io, -1,
            QStringLiteral("The keyring did not answer within %1 seconds").arg(timeoutMs / 1000),
            what};
    else if (answer.code == QKeychain::EntryNotFound)
        *error = {ErrorKind::NotFound, int(answer.code),
                  QStringLiteral("The keyring holds no password for %1").arg(what), answer.text};
    else
        *error = {kindOf(answer.code), int(answer.code),
                  QStringLiteral("The keyring cannot be used: %1").arg(answer.text), what};
    return true;
}

} // namespace

std::optional<QString> SystemKeyring::read(const QString& key, PlatformError* error)
{
    auto* job = new QKeychain::ReadPasswordJob(QString::fromUtf8(kProductName));
    job->setKey(key);
    const auto answer =
        waitFor(job, m_timeoutMs, [job](Answer& into) { into.secret = job->textData(); });
    if (failed(*answer, key, m_timeoutMs, error))
        return std::nullopt;
    return answer->secret;
}

bool SystemKeyring::write(const QString& key, const QString& secret, PlatformError* error)
{
    auto* job = new QKeychain::WritePasswordJob(QString::fromUtf8(kProductName));
    job->setKey(key);
    job->setTextData(secret);
    return !failed(*waitFor(job, m_timeoutMs), key, m_timeoutMs, error);
}

} // namespace kestrel::shell
