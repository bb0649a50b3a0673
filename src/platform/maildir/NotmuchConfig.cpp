#include "NotmuchConfig.h"

#include <QDir>
#include <QFile>

namespace kestrel::platform::maildir {

namespace {

// The escapes of a key file value.
QString unescape(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) != '\\' || i + 1 >= value.size()) {
            out += value.at(i);
            continue;
        }
        const QChar c = value.at(++i);
        out += c == 's' ? QChar(' ') : c == 't' ? QChar('\t') : c == 'n' ? QChar('\n') : c;
    }
    return out;
}

} // namespace

std::optional<QString> NotmuchConfig::databasePath(const QString& configFile, const QString& home)
{
    QFile file(configFile);
    // A configuration is a few lines; anything much larger is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return std::nullopt;
    QString section;
    std::optional<QString> path;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (section == QLatin1String("database") && equals > 0 &&
            line.left(equals).trimmed() == QLatin1String("path"))
            path = unescape(line.mid(equals + 1).trimmed());
    }
    if (!path || path->isEmpty())
        return std::nullopt;
    if (path->startsWith(QLatin1String("~/")))
        path = home + path->mid(1);
    return QDir::cleanPath(QDir::isAbsolutePath(*path) ? *path : home + '/' + *path);
}

} // namespace kestrel::platform::maildir
