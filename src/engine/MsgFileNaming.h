#pragma once

// How an exported message's file name is made from the user's pattern.

#include <QDateTime>
#include <QString>

#include <optional>

namespace kestrel::engine {

inline constexpr const char* kDefaultMsgPattern = "%ct% %su%";
inline constexpr const char* kEmptyMsgPattern = "%ct% - %su%";
inline constexpr int kMaxMsgPathLength = 252; // characters, before numbering
inline constexpr int kMaxMsgNumber = 512;

// What the tokens stand for. A value that could not be read is std::nullopt
// and leaves its token in the name.
struct MsgNameFacts {
    std::optional<QString> subject;
    std::optional<QDateTime> receivedTime;
    std::optional<QDateTime> sentOn;
    std::optional<QDateTime> creationTime;
    QString recipientText;
    QString recipientDomain;
    QString senderText;
    QString senderDomain;
    qint64 fileCounter = 0;
};

QString GetFirstListEntry(const QString& text);
QString StripDisplayName(const QString& text);
QString GetMailDomain(const QString& text);
// "yyyymmddhhmmnn": the minutes stand twice, seconds never appear.
QString MsgTimeStamp(const QDateTime& d);

// The pattern with its tokens replaced, then every character that cannot stand
// in a file name here or where the desktop client runs replaced, as are U+FFFD,
// broken surrogates and a leading "." (which would hide the file).
QString ApplyMsgPattern(const QString& pattern, const MsgNameFacts& facts);

// directory (ending in "/") + name + ".msg", the name shortened from its end so
// that the path stays within 252 characters and the name, numbered, within
// 255 bytes; an empty name becomes "_". Returns nullopt when the directory
// leaves no room for a name.
std::optional<QString> BuildMsgPath(const QString& directory, const QString& name);

// path for number 0, else "path[number].msg" (path ends in ".msg").
QString NumberedMsgPath(const QString& path, int number);

} // namespace kestrel::engine
