#include "MessageFileName.h"

#include <QDateTime>
#include <QSysInfo>

#include <algorithm>
#include <sys/time.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

const QString kInfoSeparator = QStringLiteral(":2,");

QString hostPart()
{
    // Dovecot writes '/' and ':' of the host name as octal escapes.
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    host.replace('/', QLatin1String("\\057"));
    host.replace(':', QLatin1String("\\072"));
    return host;
}

// Where text holds mark (a ',' or ':' and two more characters), or -1. A
// folder's listing and every item of a run parse names, so this is a plain
// loop rather than a general substring search.
qsizetype findMark(QStringView text, const char16_t (&mark)[4])
{
    const char16_t* chars = text.utf16();
    for (qsizetype at = 0; at + 2 < text.size(); ++at) {
        if (chars[at] == mark[0] && chars[at + 1] == mark[1] && chars[at + 2] == mark[2])
            return at;
    }
    return -1;
}

} // namespace

MessageFileName MessageFileName::parse(const QString& fileName)
{
    MessageFileName name;
    const qsizetype info = findMark(fileName, u":2,");
    if (info < 0) {
        name.unique = fileName;
        return name;
    }
    name.unique = fileName.left(info);
    name.flags = fileName.mid(info + kInfoSeparator.size());
    name.hasInfo = true;
    return name;
}

QString MessageFileName::toString() const
{
    return unique + kInfoSeparator + flags;
}

std::optional<qint64> MessageFileName::sizeField() const
{
    return sizeFieldOf(unique);
}

std::optional<qint64> MessageFileName::sizeFieldOf(QStringView fileName)
{
    const qsizetype info = findMark(fileName, u":2,");
    const QStringView unique = info < 0 ? fileName : fileName.first(info);
    const qsizetype at = findMark(unique, u",S=");
    if (at < 0)
        return std::nullopt;
    qint64 size = 0;
    qsizetype end = at + 3;
    for (; end < unique.size() && unique[end] >= u'0' && unique[end] <= u'9'; ++end) {
        if (__builtin_mul_overflow(size, 10, &size) ||
            __builtin_add_overflow(size, unique[end].unicode() - u'0', &size))
            return std::nullopt;
    }
    // No digits, or digits of another script: no size that can be trusted.
    if (end == at + 3 || (end < unique.size() && unique[end].isDigit()))
        return std::nullopt;
    return size;
}

std::optional<qint64> MessageFileName::creationMsecs() const
{
    qsizetype end = 0;
    while (end < unique.size() && unique.at(end).isDigit())
        ++end;
    if (end == 0 || end > 11 || end >= unique.size() || unique.at(end) != '.')
        return std::nullopt;
    const qint64 seconds = QStringView(unique).left(end).toLongLong();
    qint64 msecs = seconds * 1000;
    if (end + 1 < unique.size() && unique.at(end + 1) == 'M') {
        qsizetype usecEnd = end + 2;
        while (usecEnd < unique.size() && unique.at(usecEnd).isDigit())
            ++usecEnd;
        const qint64 usec = QStringView(unique).mid(end + 2, usecEnd - end - 2).toLongLong();
        if (usec >= 0 && usec < 1000000)
            msecs += usec / 1000;
    }
    return msecs;
}

QString normalizeFlags(const QString& flags)
{
    QString sorted = flags;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return sorted;
}

QString newUniqueName(qint64 size)
{
    static quint64 counter = 0;
    static const QString host = hostPart();
    struct timeval now {};
    gettimeofday(&now, nullptr);
    return QStringLiteral("%1.M%2P%3Q%4.%5,S=%6")
        .arg(qint64(now.tv_sec))
        .arg(qint64(now.tv_usec))
        .arg(qint64(getpid()))
        .arg(++counter)
        .arg(host)
        .arg(size);
}

} // namespace kestrel::platform::maildir
