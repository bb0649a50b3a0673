#include "DovecotMailLocation.h"

#include <QDir>
#include <QProcess>

namespace kestrel::platform::maildir {

namespace {

// Fills %u, %n, %d, %h and their long forms; nothing for any other variable.
std::optional<QString> expandVariables(const QString& path, const QString& home,
                                       const QString& user)
{
    const qsizetype at = user.indexOf('@');
    const QString userPart = at < 0 ? user : user.left(at);
    const std::optional<QString> domain =
        at < 0 ? std::nullopt : std::optional<QString>(user.mid(at + 1));
    auto value = [&](const QString& name) -> std::optional<QString> {
        if (name == QLatin1String("u") || name == QLatin1String("user"))
            return user;
        if (name == QLatin1String("n") || name == QLatin1String("username"))
            return userPart;
        if (name == QLatin1String("d") || name == QLatin1String("domain"))
            return domain;
        if (name == QLatin1String("h") || name == QLatin1String("home"))
            return home;
        if (name == QLatin1String("%"))
            return QStringLiteral("%");
        return std::nullopt;
    };

    QString out;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (path.at(i) != '%') {
            out += path.at(i);
            continue;
        }
        if (i + 1 >= path.size())
            return std::nullopt;
        QString name;
        if (path.at(i + 1) == '{') {
            const qsizetype end = path.indexOf('}', i + 2);
            if (end < 0)
                return std::nullopt;
            name = path.mid(i + 2, end - i - 2);
            i = end;
        } else {
            name = path.at(i + 1);
            ++i;
        }
        const std::optional<QString> filled = value(name);
        if (!filled || filled->isEmpty())
            return std::nullopt;
        out += *filled;
    }
    return out;
}

} // namespace

std::optional<QString> DovecotMailLocation::query() const
{
    if (m_doveconf.isEmpty())
        return std::nullopt;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(m_doveconf.first(),
                  m_doveconf.mid(1) + QStringList{QStringLiteral("-h"), "mail_location"});
    if (!process.waitForStarted(m_timeoutMs))
        return std::nullopt;
    if (!process.waitForFinished(m_timeoutMs)) {
        process.kill();
        process.waitForFinished(m_timeoutMs);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

std::optional<QString> DovecotMailLocation::maildirPath(const QString& setting, const QString& home,
                                                        const QString& user)
{
    const qsizetype colon = setting.indexOf(':');
    if (colon < 0 ||
        setting.left(colon).trimmed().compare(QLatin1String("maildir"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    // The path runs to the first lone colon; "::" stands for a colon in it.
    QString path;
    for (qsizetype i = colon + 1; i < setting.size(); ++i) {
        if (setting.at(i) == ':') {
            if (i + 1 < setting.size() && setting.at(i + 1) == ':') {
                path += ':';
                ++i;
                continue;
            }
            break;
        }
        path += setting.at(i);
    }
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) {
        if (home.isEmpty())
            return std::nullopt;
        path = home + path.mid(1);
    }
    const std::optional<QString> expanded = expandVariables(path, home, user);
    if (!expanded || !QDir::isAbsolutePath(*expanded))
        return std::nullopt;
    return QDir::cleanPath(*expanded);
}

} // namespace kestrel::platform::maildir
