#include "TempMaildir.h"

#include "platform/maildir/MaildirName.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSettings>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::test {

namespace {

QString dirNameOf(const QString& folder)
{
    using kestrel::platform::maildir::encodeFolderComponent;
    QStringList parts = folder.split('\\');
    if (parts.size() == 1 && parts.first() == QLatin1String("Inbox"))
        return QString();
    QString dir;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i == 0 && parts[i] == QLatin1String("Inbox"))
            dir += QStringLiteral(".INBOX");
        else
            dir += '.' + encodeFolderComponent(parts[i]);
    }
    return dir;
}

void setMtime(const QString& path, const QDateTime& time)
{
    const qint64 ms = time.toMSecsSinceEpoch();
    struct timespec times[2] = {{time_t(ms / 1000), long(ms % 1000) * 1000000},
                                {time_t(ms / 1000), long(ms % 1000) * 1000000}};
    utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

int keywordIndex(const QString& folderDir, const QString& keyword)
{
    QFile file(folderDir + QStringLiteral("/dovecot-keywords"));
    QStringList lines;
    if (file.open(QIODevice::ReadOnly))
        lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    file.close();
    for (const QString& line : lines) {
        if (line.section(' ', 1) == keyword)
            return line.section(' ', 0, 0).toInt();
    }
    const int index = int(lines.size());
    lines.append(QStringLiteral("%1 %2").arg(index).arg(keyword));
    file.open(QIODevice::WriteOnly);
    file.write((lines.join('\n') + '\n').toUtf8());
    return index;
}

QByteArray rfc5322Date(const QDateTime& time)
{
    const int offset = time.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? '-' : '+')
                             .arg(qAbs(offset) / 60, 2, 10, QChar('0'))
                             .arg(qAbs(offset) % 60, 2, 10, QChar('0'));
    return (QLocale::c().toString(time, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) + zone)
        .toUtf8();
}

} // namespace

TempMaildir::TempMaildir(const QString& base)
    : m_dir((base.isEmpty() ? QDir::tempPath() : base) + QStringLiteral("/kestrel-maildir-XXXXXX"))
{
}

TempMaildir::~TempMaildir()
{
    if (m_profileSet) {
        if (m_hadProfile)
            qputenv("KESTREL_PROFILE", m_oldProfile);
        else
            qunsetenv("KESTREL_PROFILE");
    }
}

QString TempMaildir::addStore(const QString& name, const QString& path)
{
    QString dir = path.isEmpty()
                      ? root() + '/' + QStringLiteral("store%1").arg(m_storeNames.size() + 1)
                      : path;
    for (const char* sub : {"", "/cur", "/new", "/tmp"})
        QDir().mkpath(dir + QLatin1String(sub));
    m_storeNames.append(name);
    m_storePaths.append(dir);
    return dir;
}

QString TempMaildir::storePath(const QString& store) const
{
    const qsizetype index = store.isEmpty() ? 0 : m_storeNames.indexOf(store);
    return index >= 0 && index < m_storePaths.size() ? m_storePaths.at(index) : QString();
}

QString TempMaildir::folderDir(const QString& folder, const QString& store)
{
    const QString name = dirNameOf(folder);
    const QString dir = storePath(store) + (name.isEmpty() ? QString() : '/' + name);
    for (const char* sub : {"/cur", "/new", "/tmp"})
        QDir().mkpath(dir + QLatin1String(sub));
    if (!name.isEmpty())
        QFile(dir + QStringLiteral("/maildirfolder")).open(QIODevice::WriteOnly);
    return dir;
}

QString TempMaildir::addMessage(const MessageSpec& spec)
{
    const QString dir = folderDir(spec.folder, spec.store);
    const QDateTime date = spec.date.isValid() ? spec.date : QDateTime::currentDateTime();
    const QDateTime received = spec.received.isValid() ? spec.received : date;
    const QDateTime created = spec.created.isValid() ? spec.created : received;

    QByteArray content = spec.raw;
    if (content.isNull()) {
        content = "From: " + spec.from.toUtf8() + "\n" + "To: " + spec.to.toUtf8() + "\n" +
                  "Subject: " + spec.subject.toUtf8() + "\n" + "Date: " + rfc5322Date(date) + "\n" +
                  "Message-ID: <" + QByteArray::number(++m_counter) + "@test.example>\n" +
                  "MIME-Version: 1.0\n" + "Content-Type: " + spec.contentType.toUtf8() + "\n\n" +
                  spec.body;
    }

    QString flags = spec.inNew ? QString() : spec.flags;
    for (const QString& keyword : spec.keywords)
        flags += QChar('a' + keywordIndex(dir, keyword));
    std::sort(flags.begin(), flags.end());

    const QString unique = QStringLiteral("%1.M%2P%3Q%4.testhost,S=%5")
                               .arg(created.toSecsSinceEpoch())
                               .arg(created.time().msec() * 1000)
                               .arg(getpid())
                               .arg(++m_counter)
                               .arg(content.size());
    const QString path = spec.inNew ? dir + QStringLiteral("/new/") + unique
                                    : dir + QStringLiteral("/cur/") + unique + ":2," + flags;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    file.close();
    setMtime(path, received);
    return path;
}

QString TempMaildir::writeProfile(const QString& defaultStore, const QString& userName,
                                  const QString& userAddress)
{
    const QString path = root() + QStringLiteral("/profile.ini");
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.clear();
        ini.setValue(QStringLiteral("Profile/UserName"), userName);
        ini.setValue(QStringLiteral("Profile/UserAddress"), userAddress);
        ini.setValue(QStringLiteral("Profile/DefaultStore"),
                     defaultStore.isEmpty() && !m_storeNames.isEmpty() ? m_storeNames.first()
                                                                       : defaultStore);
        for (qsizetype i = 0; i < m_storeNames.size(); ++i) {
            ini.setValue(QStringLiteral("Store%1/Name").arg(i + 1), m_storeNames[i]);
            const QString relative = QDir(root()).relativeFilePath(m_storePaths[i]);
            ini.setValue(QStringLiteral("Store%1/Path").arg(i + 1),
                         relative.startsWith(QLatin1String("..")) ? m_storePaths[i] : relative);
        }
    }
    if (!m_profileSet) {
        m_hadProfile = qEnvironmentVariableIsSet("KESTREL_PROFILE");
        m_oldProfile = qgetenv("KESTREL_PROFILE");
        m_profileSet = true;
    }
    qputenv("KESTREL_PROFILE", QFile::encodeName(path));
    return path;
}

QStringList TempMaildir::messageFiles(const QString& folder, const QString& store)
{
    const QString dir = folderDir(folder, store);
    QStringList files;
    for (const char* sub : {"/cur", "/new"}) {
        const QDir d(dir + QLatin1String(sub));
        for (const QString& name : d.entryList(QDir::Files, QDir::Name))
            files.append(d.filePath(name));
    }
    files.sort();
    return files;
}

} // namespace kestrel::test
