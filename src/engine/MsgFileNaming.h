#pragma once

// How an exported message's file name is made from the user's pattern.

#include <QDateTime>
#include <QString>

#include <functional>
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
// in a file name here or where the desktop client runs replaced.
QString ApplyMsgPattern(const QString& pattern, const MsgNameFacts& facts);

// directory (ending in "/") + name + ".msg", the name shortened from its end so
// that the path stays within 252 characters and the name, numbered, within
// 255 bytes. Returns nullopt when the directory leaves no room for a name.
std::optional<QString> BuildMsgPath(const QString& directory, const QString& name);

// The path itself when free, else the first free "path[n].msg" for n = 1..512;
// nullopt when all are taken.
std::optional<QString> FindFreeMsgPath(const QString& path,
                                       const std::function<bool(const QString&)>& exists);

} // namespace kestrel::engine
