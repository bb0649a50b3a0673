#include "RawFlags.h"

#include "KeywordFile.h"

namespace kestrel::platform::maildir {

namespace {

// The Maildir letters of the system flags; "P" (passed) is the $Forwarded keyword.
constexpr std::pair<char, const char*> kSystemFlags[] = {
    {'S', "\\Seen"}, {'F', "\\Flagged"}, {'R', "\\Answered"}, {'D', "\\Draft"}, {'T', "\\Deleted"}};
constexpr const char* kForwarded = "$Forwarded";

} // namespace

void readRawFlags(const QString& letters, const QString& folderDir, RawMessage& message)
{
    QStringList keywords;
    bool keywordsRead = false;
    for (const QChar letter : letters) {
        if (letter == 'P') {
            message.keywords.append(QLatin1String(kForwarded));
        } else if (letter >= 'a' && letter <= 'z') {
            if (!keywordsRead) {
                keywords = KeywordFile::read(folderDir);
                keywordsRead = true;
            }
            const QString keyword = keywords.value(letter.unicode() - 'a');
            if (!keyword.isEmpty())
                message.keywords.append(keyword);
        } else {
            for (const auto& [flag, name] : kSystemFlags) {
                if (letter == QLatin1Char(flag))
                    message.flags.append(QLatin1String(name));
            }
        }
    }
}

std::optional<QString> rawFlagLetters(const RawMessage& message, const QString& folderDir,
                                      PlatformError* error)
{
    QString letters;
    for (const QString& name : message.flags) {
        for (const auto& [flag, systemName] : kSystemFlags) {
            if (name.compare(QLatin1String(systemName), Qt::CaseInsensitive) == 0)
                letters += QLatin1Char(flag);
        }
    }
    for (const QString& keyword : message.keywords) {
        if (keyword.compare(QLatin1String(kForwarded), Qt::CaseInsensitive) == 0) {
            letters += 'P';
            continue;
        }
        const std::optional<QChar> letter = KeywordFile::ensure(folderDir, keyword, error);
        if (!letter)
            return std::nullopt;
        letters += *letter;
    }
    return letters;
}

} // namespace kestrel::platform::maildir
