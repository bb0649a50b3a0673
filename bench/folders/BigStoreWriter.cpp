#include "BigStoreWriter.h"

#include "platform/maildir/MaildirName.h"

#include <QDir>
#include <QFile>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace kestrel::bench {

namespace {

bool makeMaildir(const QString& dir, bool isFolder)
{
    for (const char* sub : {"/cur", "/new", "/tmp"}) {
        if (!QDir().mkpath(dir + QLatin1String(sub)))
            return false;
    }
    return !isFolder || QFile(dir + QStringLiteral("/maildirfolder")).open(QIODevice::WriteOnly);
}

bool writeMessages(const QString& dir, int first, int count)
{
    const QByteArray cur = QFile::encodeName(dir) + "/cur/";
    for (int i = first; i < first + count; ++i) {
        const QByteArray body = "From: Bench Sender <sender@example.org>\n"
                                "To: Bench User <bench@example.com>\n"
                                "Subject: Message " +
                                QByteArray::number(i) +
                                "\nDate: Wed, 10 Jun 2020 09:00:00 +0000\n"
                                "Message-ID: <" +
                                QByteArray::number(i) + "@bench.example>\n\nHello.\n";
        const QByteArray name = cur + QByteArray::number(1591779600 + i) + ".M" +
                                QByteArray::number(i % 1000000) + "P1Q" + QByteArray::number(i) +
                                ".bench,S=" + QByteArray::number(body.size()) + ":2,S";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return false;
        const bool written = ::write(fd, body.constData(), size_t(body.size())) == body.size();
        ::close(fd);
        if (!written)
            return false;
    }
    return true;
}

QString folderName(const char* kind, int number)
{
    return QStringLiteral("%1 %2").arg(QLatin1String(kind)).arg(number, 4, 10, QLatin1Char('0'));
}

} // namespace

QString writeBigStore(const QString& root, int folders, int messages)
{
    using platform::maildir::encodeFolderComponent;
    const QString store = root + QStringLiteral("/big-store");
    if (!makeMaildir(store, false))
        return QStringLiteral("cannot create %1").arg(store);

    // Every folder's directory, top-level folders first in each group.
    const int tops = qMax(1, int(std::lround(std::sqrt(double(folders)))));
    QStringList dirs;
    for (int t = 0; t < tops && dirs.size() < folders; ++t) {
        const QString top = '.' + encodeFolderComponent(folderName("Project", t + 1));
        dirs.append(top);
        const int below = (folders - tops) / tops + (t < (folders - tops) % tops ? 1 : 0);
        for (int s = 0; s < below; ++s)
            dirs.append(top + '.' + encodeFolderComponent(folderName("Topic", s + 1)));
    }

    int written = 0;
    for (qsizetype f = 0; f < dirs.size(); ++f) {
        const QString dir = store + '/' + dirs.at(f);
        const int count = messages / int(dirs.size()) + (f < messages % dirs.size() ? 1 : 0);
        if (!makeMaildir(dir, true) || !writeMessages(dir, written, count))
            return QStringLiteral("cannot write into %1").arg(dir);
        written += count;
    }

    QFile profile(root + QStringLiteral("/profile.ini"));
    const QByteArray text = "[Profile]\nUserName=Bench User\nUserAddress=bench@example.com\n"
                            "DefaultStore=Big Store\n[Store1]\nName=Big Store\nPath=big-store\n";
    if (!profile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        profile.write(text) != text.size())
        return QStringLiteral("cannot write %1").arg(profile.fileName());
    return {};
}

} // namespace kestrel::bench
