#include "MsgFileNaming.h"

#include <QStringList>

namespace kestrel::engine {

namespace {

constexpr int kMaxNameBytes = 255;
const QString kMsgSuffix = QStringLiteral(".msg");
// Room kept in the name for the largest number, "[512]".
const int kNumberRoom = QStringLiteral("[%1]").arg(kMaxMsgNumber).size();

QString sanitized(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar ch = name.at(i);
        if (ch.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            out += ch;
            out += name.at(++i);
            continue;
        }
        switch (ch.unicode()) {
        case '\\':
        case '/':
            out += '~';
            break;
        case ':':
            out += ' ';
            break;
        case '<':
        case '>':
        case '"':
        case '|':
        case '?':
        case '*':
        case QChar::ReplacementCharacter: // a name is no place for undecodable text
            out += '_';
            break;
        default:
            if (ch.isSurrogate()) // half a pair has no UTF-8 form
                out += '_';
            else
                out += (ch.unicode() < 0x20 || ch.unicode() == 0x7f) ? QChar(' ') : ch;
        }
    }
    // A leading dot hides the file, and the disk source would then never see it.
    if (out.startsWith('.'))
        out[0] = '_';
    return out;
}

// The first count UTF-16 units, one less when the last would split a pair.
QString leftWhole(const QString& text, qsizetype count)
{
    if (count < text.size() && count > 0 && text.at(count - 1).isHighSurrogate())
        --count;
    return text.left(count);
}

// Cuts to at most maxChars characters and maxBytes UTF-8 bytes, never inside a
// surrogate pair.
QString cutName(const QString& name, qsizetype maxChars, qsizetype maxBytes)
{
    qsizetype end = 0;
    qsizetype chars = 0;
    qsizetype bytes = 0;
    while (end < name.size()) {
        const bool pair = name.at(end).isHighSurrogate() && end + 1 < name.size() &&
                          name.at(end + 1).isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const qsizetype size = name.mid(end, units).toUtf8().size();
        if (chars + units > maxChars || bytes + size > maxBytes)
            break;
        end += units;
        chars += units;
        bytes += size;
    }
    return name.left(end);
}

} // namespace

QString GetFirstListEntry(const QString& text)
{
    const qsizetype semicolon = text.indexOf(';');
    return semicolon < 0 ? text : text.left(semicolon).trimmed();
}

QString StripDisplayName(const QString& text)
{
    const qsizetype open = text.indexOf('<');
    return open < 0 ? text : text.mid(open + 1).trimmed();
}

QString GetMailDomain(const QString& text)
{
    const qsizetype at = text.indexOf('@');
    return at < 0 ? QString() : text.mid(at + 1);
}

QString MsgTimeStamp(const QDateTime& d)
{
    return d.toString(QStringLiteral("yyyyMMddhhmmmm"));
}

QString ApplyMsgPattern(const QString& pattern, const MsgNameFacts& facts)
{
    QString name = pattern;
    auto replace = [&name](const char* token, const std::optional<QString>& value) {
        if (value)
            name.replace(QLatin1String(token), *value);
    };
    auto stamp = [](const std::optional<QDateTime>& d) -> std::optional<QString> {
        if (!d || !d->isValid())
            return std::nullopt;
        return MsgTimeStamp(*d);
    };
    std::optional<QString> subject;
    if (facts.subject)
        subject = leftWhole(*facts.subject, 100).trimmed();
    replace("%su%", subject);
    replace("%rt%", stamp(facts.receivedTime));
    replace("%st%", stamp(facts.sentOn));
    replace("%ct%", stamp(facts.creationTime));
    replace("%to%", facts.recipientText);
    replace("%td%", facts.recipientDomain);
    replace("%fm%", facts.senderText);
    replace("%fd%", facts.senderDomain);
    replace("%ii%", QString::number(facts.fileCounter));
    return sanitized(name);
}

std::optional<QString> BuildMsgPath(const QString& directory, const QString& name)
{
    const qsizetype roomChars = kMaxMsgPathLength - directory.size() - kMsgSuffix.size();
    if (roomChars <= 0)
        return std::nullopt;
    const qsizetype roomBytes = kMaxNameBytes - kMsgSuffix.size() - kNumberRoom;
    // An empty name would make the hidden file ".msg".
    const QString cut = cutName(name.isEmpty() ? QStringLiteral("_") : name, roomChars, roomBytes);
    if (cut.isEmpty())
        return std::nullopt;
    return directory + cut + kMsgSuffix;
}

QString NumberedMsgPath(const QString& path, int number)
{
    if (number == 0)
        return path;
    return path.chopped(kMsgSuffix.size()) + '[' + QString::number(number) + ']' + kMsgSuffix;
}

} // namespace kestrel::engine
