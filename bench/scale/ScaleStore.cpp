#include "ScaleStore.h"

#include "EngineBench.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTimeZone>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::bench {

namespace {

// Bump when the messages or the layout change, so that old stores are rewritten.
constexpr int kFormat = 1;

QByteArray stampText(int messages)
{
    return "kestrel-bench-scale format=" + QByteArray::number(kFormat) +
           " messages=" + QByteArray::number(messages) + '\n';
}

qint64 firstSecs()
{
    return rangeStart().toSecsSinceEpoch();
}

qint64 spanSecs()
{
    return QDateTime(QDate(2024, 1, 1), QTime(0, 0)).toSecsSinceEpoch() - firstSecs();
}

// Received and sent at the same second, so that both filters take the same half.
qint64 timeOf(int i, int n)
{
    return firstSecs() + spanSecs() * i / n;
}

// About 1 kB: the headers a delivered message carries, and a short text body.
QByteArray messageText(int i, qint64 secs)
{
    const QByteArray date =
        QDateTime::fromSecsSinceEpoch(secs, QTimeZone::utc()).toString(Qt::RFC2822Date).toLatin1();
    const QByteArray number = QByteArray::number(i);
    QByteArray text;
    text.reserve(1100);
    text += "Return-Path: <ann@sender.example>\n"
            "Delivered-To: demo.user@example.com\n"
            "Received: from mail.sender.example (mail.sender.example [192.0.2.7])\n"
            "\tby mx.example.com with ESMTPS id " +
            number + "\n\tfor <demo.user@example.com>; " + date +
            "\n"
            "From: Ann Sender <ann@sender.example>\n"
            "To: Demo User <demo.user@example.com>\n"
            "Subject: Scale message " +
            number + "\nDate: " + date + "\nMessage-ID: <scale" + number +
            "@bench.example>\n"
            "MIME-Version: 1.0\n"
            "Content-Type: text/plain; charset=utf-8\n"
            "Content-Transfer-Encoding: 8bit\n\n";
    static const QByteArray line =
        "The quarterly figures are attached as discussed; please check the totals.\n";
    while (text.size() + line.size() <= 1000 + (i % 5) * 20)
        text += line;
    return text;
}

bool writeFileAt(int dirFd, const QByteArray& name, const QByteArray& bytes, qint64 secs)
{
    const int fd = ::openat(dirFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const struct timespec times[2] = {{secs, 0}, {secs, 0}};
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() &&
                    ::futimens(fd, times) == 0;
    return ::close(fd) == 0 && ok;
}

qint64 countFiles(const QString& dir)
{
    DIR* handle = ::opendir(QFile::encodeName(dir).constData());
    if (!handle)
        return -1;
    qint64 count = 0;
    while (const dirent* entry = ::readdir(handle))
        count += entry->d_name[0] != '.';
    ::closedir(handle);
    return count;
}

} // namespace

ScaleStore::ScaleStore(const QString& baseDir, int messages)
    : m_root(baseDir + '/' + QString::number(messages)), m_messages(messages)
{
}

int ScaleStore::inRange() const
{
    const qint64 end = rangeEnd().toSecsSinceEpoch();
    int count = 0;
    for (int i = 0; i < m_messages && timeOf(i, m_messages) <= end; ++i)
        ++count;
    return count;
}

bool ScaleStore::fail(const QString& text)
{
    m_error = text;
    return false;
}

bool ScaleStore::stampMatches() const
{
    QFile stamp(m_root + QStringLiteral("/stamp"));
    return stamp.open(QIODevice::ReadOnly) && stamp.readAll() == stampText(m_messages);
}

bool ScaleStore::prepare(bool* written)
{
    if (written)
        *written = false;
    if (stampMatches()) {
        // A run cut short during its Move leaves messages in the archive.
        if (restore() < 0)
            return false;
        if (countInbox() == m_messages)
            return true;
    }
    if (written)
        *written = true;
    return write();
}

bool ScaleStore::write()
{
    QFile::remove(m_root + QStringLiteral("/stamp"));
    if (!QDir(m_root).removeRecursively())
        return fail(QStringLiteral("cannot remove the old store in %1").arg(m_root));
    if (!makeMaildir(storeDir()) || !makeMaildir(archiveDir()))
        return fail(QStringLiteral("cannot create the stores in %1").arg(m_root));
    const int cur = ::open(QFile::encodeName(storeDir() + QStringLiteral("/cur")).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (cur < 0)
        return fail(QStringLiteral("cannot open %1/cur").arg(storeDir()));
    for (int i = 0; i < m_messages; ++i) {
        const qint64 secs = timeOf(i, m_messages);
        const QByteArray text = messageText(i, secs);
        const QByteArray name = QByteArray::number(secs) + ".M" + QByteArray::number(i % 1000000) +
                                "P4242Q" + QByteArray::number(i) +
                                ".scale.bench,S=" + QByteArray::number(text.size()) + ":2,S";
        if (!writeFileAt(cur, name, text, secs)) {
            const int code = errno;
            ::close(cur);
            return fail(QStringLiteral("cannot write message %1: %2")
                            .arg(i)
                            .arg(QString::fromLocal8Bit(std::strerror(code))));
        }
    }
    ::close(cur);
    if (writeProfile(m_root, {{QStringLiteral("Personal Folders"), QStringLiteral("store")},
                              {QStringLiteral("Archive"), QStringLiteral("archive")}})
            .isEmpty())
        return fail(QStringLiteral("cannot write the profile in %1").arg(m_root));
    QFile stamp(m_root + QStringLiteral("/stamp"));
    const QByteArray text = stampText(m_messages);
    if (!stamp.open(QIODevice::WriteOnly) || stamp.write(text) != text.size())
        return fail(QStringLiteral("cannot write %1").arg(stamp.fileName()));
    return true;
}

qint64 ScaleStore::restore()
{
    // Wherever the Move put them (the archive's Inbox or a folder below it),
    // each file goes back under its own name into cur/ or new/.
    const QByteArray store = QFile::encodeName(storeDir());
    qint64 moved = 0;
    QDirIterator it(archiveDir(), QDir::Files | QDir::System | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString sub = it.fileInfo().dir().dirName();
        if (sub != QLatin1String("cur") && sub != QLatin1String("new"))
            continue;
        const QByteArray to =
            store + '/' + QFile::encodeName(sub) + '/' + QFile::encodeName(it.fileName());
        if (::renameat2(AT_FDCWD, QFile::encodeName(path).constData(), AT_FDCWD, to.constData(),
                        RENAME_NOREPLACE) != 0) {
            fail(QStringLiteral("cannot move %1 back: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
            return -1;
        }
        ++moved;
    }
    return moved;
}

qint64 ScaleStore::countInbox() const
{
    const qint64 cur = countFiles(storeDir() + QStringLiteral("/cur"));
    const qint64 fresh = countFiles(storeDir() + QStringLiteral("/new"));
    return cur < 0 || fresh < 0 ? -1 : cur + fresh;
}

} // namespace kestrel::bench
