#include "MaildirStoreWriter.h"

#include "platform/maildir/MaildirName.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace kestrel::demo {

namespace {

QString flagLetters(const StoredFlags& flags)
{
    // ASCII order, keywords (lower case) after the system flags.
    QString out;
    if (flags.flagged)
        out += 'F';
    if (flags.replied)
        out += 'R';
    if (flags.seen)
        out += 'S';
    if (flags.noArchive)
        out += 'a'; // index 0 in dovecot-keywords
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
           file.write(bytes) == bytes.size();
}

} // namespace

MaildirStoreWriter::MaildirStoreWriter(const QString& root) : m_root(root) {}

QString MaildirStoreWriter::folderDirectory(const QStringList& path) const
{
    if (path.isEmpty() || (path.size() == 1 && path.first() == QLatin1String("Inbox")))
        return m_root;
    QString name;
    for (qsizetype i = 0; i < path.size(); ++i) {
        name += '.';
        name += (i == 0 && path.at(i) == QLatin1String("Inbox"))
                    ? QStringLiteral("INBOX")
                    : platform::maildir::encodeFolderComponent(path.at(i));
    }
    return m_root + '/' + name;
}

bool MaildirStoreWriter::fail(const QString& text)
{
    m_error = text;
    return false;
}

bool MaildirStoreWriter::makeMaildir(const QString& dir, bool isRoot)
{
    for (const char* sub : {"cur", "new", "tmp"}) {
        if (!QDir().mkpath(dir + '/' + sub))
            return fail(QStringLiteral("cannot create %1/%2").arg(dir, sub));
    }
    const QString keywords = dir + QStringLiteral("/dovecot-keywords");
    if (!QFile::exists(keywords) &&
        !writeFile(keywords, QByteArray("0 ") + platform::maildir::kNoArchiveKeyword + '\n'))
        return fail(QStringLiteral("cannot write %1").arg(keywords));
    const QString marker = dir + QStringLiteral("/maildirfolder");
    if (!isRoot && !QFile::exists(marker) && !writeFile(marker, {}))
        return fail(QStringLiteral("cannot write %1").arg(marker));
    return true;
}

bool MaildirStoreWriter::createFolder(const QStringList& path, int itemType)
{
    if (!makeMaildir(m_root, true))
        return false;
    for (qsizetype depth = 1; depth <= path.size(); ++depth) {
        const QStringList prefix = path.mid(0, depth);
        const QString dir = folderDirectory(prefix);
        if (dir != m_root && !makeMaildir(dir, false))
            return false;
    }
    if (itemType != 0) {
        const QString marker =
            folderDirectory(path) + '/' + QLatin1String(platform::maildir::kFolderTypeFile);
        QFile::remove(marker);
        if (!writeFile(marker, QByteArray::number(itemType) + '\n'))
            return fail(QStringLiteral("cannot write %1").arg(marker));
    }
    return true;
}

bool MaildirStoreWriter::writeMessage(const QStringList& folder, const QByteArray& bytes,
                                      qint64 receivedUtc, qint64 createdUtc, int micros,
                                      const StoredFlags& flags)
{
    const QString base = QStringLiteral("%1.M%2P%3Q%4.%5,S=%6")
                             .arg(createdUtc)
                             .arg(micros)
                             .arg(kPid)
                             .arg(++m_sequence)
                             .arg(QLatin1String(kHost))
                             .arg(bytes.size());
    const QString dir = folderDirectory(folder);
    const QString path = flags.inNew ? dir + QStringLiteral("/new/") + base
                                     : dir + QStringLiteral("/cur/") + base +
                                           QStringLiteral(":2,") + flagLetters(flags);
    if (!writeFile(path, bytes))
        return fail(QStringLiteral("cannot write %1").arg(path));
    const struct timespec times[2] = {{receivedUtc, 0}, {receivedUtc, 0}};
    if (::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        return fail(QStringLiteral("cannot set the time of %1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

} // namespace kestrel::demo
