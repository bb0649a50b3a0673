#include "KeywordFile.h"

#include "FolderTree.h"
#include "MessageFileName.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace kestrel::platform::maildir {

namespace {

QString keywordPath(const QString& folderDir)
{
    return folderDir + QLatin1String("/dovecot-keywords");
}

} // namespace

QStringList KeywordFile::read(const QString& folderDir)
{
    QStringList keywords;
    QFile file(keywordPath(folderDir));
    if (!file.open(QIODevice::ReadOnly))
        return keywords;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype space = line.indexOf(' ');
        bool ok = false;
        const int index = line.left(space).toInt(&ok);
        if (space <= 0 || !ok || index < 0 || index >= kMaxKeywords)
            continue;
        while (keywords.size() <= index)
            keywords.append(QString());
        keywords[index] = line.mid(space + 1).trimmed();
    }
    return keywords;
}

std::optional<QChar> KeywordFile::letterOf(const QStringList& keywords, const QString& keyword)
{
    const qsizetype index = keywords.indexOf(keyword);
    if (index < 0)
        return std::nullopt;
    return QChar('a' + int(index));
}

std::optional<QChar> KeywordFile::ensure(const QString& folderDir, const QString& keyword,
                                         PlatformError* error)
{
    QStringList keywords = read(folderDir);
    if (std::optional<QChar> letter = letterOf(keywords, keyword))
        return letter;
    qsizetype slot = keywords.indexOf(QString());
    if (slot < 0)
        slot = keywords.size();
    if (slot >= kMaxKeywords) {
        if (error)
            *error = {ErrorKind::Unsupported, -1,
                      QStringLiteral("The folder has no room for another keyword"), folderDir};
        return std::nullopt;
    }
    while (keywords.size() <= slot)
        keywords.append(QString());
    keywords[slot] = keyword;

    QSaveFile file(keywordPath(folderDir));
    if (file.open(QIODevice::WriteOnly)) {
        for (int i = 0; i < keywords.size(); ++i) {
            if (!keywords[i].isEmpty())
                file.write(QStringLiteral("%1 %2\n").arg(i).arg(keywords[i]).toUtf8());
        }
    }
    if (!file.commit()) {
        if (error)
            *error = {ErrorKind::Io, -1, QStringLiteral("The keyword list cannot be written"),
                      keywordPath(folderDir) + QStringLiteral(": ") + file.errorString()};
        return std::nullopt;
    }
    syncDirectory(folderDir);
    return QChar('a' + int(slot));
}

QString KeywordFile::translateFlags(const QString& flags, const QString& fromDir,
                                    const QString& toDir, PlatformError* error)
{
    auto isKeyword = [](QChar flag) { return flag >= 'a' && flag <= 'z'; };
    if (fromDir == toDir || std::none_of(flags.begin(), flags.end(), isKeyword))
        return flags;

    const QStringList source = read(fromDir);
    QString result;
    for (QChar flag : flags) {
        if (!isKeyword(flag)) {
            result += flag;
            continue;
        }
        const int index = flag.unicode() - 'a';
        if (index >= source.size() || source[index].isEmpty())
            continue; // a letter without a keyword means nothing: drop it
        if (std::optional<QChar> letter = ensure(toDir, source[index], error))
            result += *letter;
    }
    return normalizeFlags(result);
}

} // namespace kestrel::platform::maildir
