#include "EntryId.h"

#include "NativeName.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <optional>

namespace kestrel::platform::maildir {

namespace {

// The characters an identifier holds as they are: RFC 3986's unreserved ones and '/'.
constexpr std::array<bool, 0x80> kKept = [] {
    std::array<bool, 0x80> kept{};
    for (char16_t c = 0; c < 0x80; ++c)
        kept[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    return kept;
}();

// How many characters of an ASCII field are escaped; nullopt when it is not ASCII.
std::optional<qsizetype> asciiEscapes(const QString& field)
{
    qsizetype escaped = 0;
    for (const QChar c : field) {
        const char16_t u = c.unicode();
        if (u >= 0x80)
            return std::nullopt;
        escaped += !kKept[u];
    }
    return escaped;
}

// Writes an ASCII field, escaped, from to on.
void writeEscaped(char16_t* to, const QString& field)
{
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    for (const QChar c : field) {
        const char16_t u = c.unicode();
        if (kKept[u]) {
            *to++ = u;
        } else {
            *to++ = u'%';
            *to++ = kHex[u >> 4];
            *to++ = kHex[u & 15];
        }
    }
}

// text, then field escaped, in one string made at its size.
QString withEscaped(const QString& text, const QString& field)
{
    // Store paths and message names are ASCII all but always, and a run
    // makes one identifier per message: those are escaped here in one pass,
    // exactly as toPercentEncoding would.
    if (const std::optional<qsizetype> escapes = asciiEscapes(field)) {
        QString out(text.size() + field.size() + 2 * *escapes, Qt::Uninitialized);
        char16_t* to = reinterpret_cast<char16_t*>(out.data());
        to = std::copy_n(reinterpret_cast<const char16_t*>(text.constData()), text.size(), to);
        writeEscaped(to, field);
        return out;
    }
    // The bytes, so that a name that is not UTF-8 comes back as it was.
    return text + QString::fromLatin1(nativePath(field).toPercentEncoding("/"));
}

QString encode(const QString& field)
{
    return withEscaped(QString(), field);
}

int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString decode(QStringView field)
{
    // Escapes of ASCII bytes (as in every message name) are undone here;
    // anything else goes through the bytes.
    QString out(field.size(), Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char16_t c = field[i].unicode();
        if (c != '%') {
            *to++ = c;
            continue;
        }
        const int high = i + 2 < field.size() ? hexValue(field[i + 1].unicode()) : -1;
        const int low = high >= 0 ? hexValue(field[i + 2].unicode()) : -1;
        if (low < 0 || high >= 8)
            return nameFromBytes(QByteArray::fromPercentEncoding(field.toLatin1()));
        *to++ = char16_t(high * 16 + low);
        i += 2;
    }
    out.truncate(to - reinterpret_cast<const char16_t*>(out.constData()));
    return out;
}

} // namespace

QString EntryId::toString() const
{
    switch (kind) {
    case Kind::Store:
        return QStringLiteral("kmk:store:") + encode(storePath);
    case Kind::Folder:
        return QStringLiteral("kmk:folder:") + encode(storePath) + ':' + encode(dirName);
    case Kind::Message: {
        const QString parts[] = {encode(storePath), encode(dirName), encode(unique)};
        QString id;
        id.reserve(10 + parts[0].size() + parts[1].size() + parts[2].size());
        id += QLatin1String("kmk:msg:");
        id += parts[0];
        id += QLatin1Char(':');
        id += parts[1];
        id += QLatin1Char(':');
        id += parts[2];
        return id;
    }
    }
    return {};
}

std::optional<EntryId> EntryId::parse(const QString& text)
{
    for (QChar ch : text) {
        if (ch.unicode() < 0x21 || ch.unicode() > 0x7e)
            return std::nullopt; // encoded texts are printable ASCII
    }
    const QList<QStringView> parts = QStringView(text).split(u':');
    if (parts.size() < 3 || parts[0] != QLatin1String("kmk"))
        return std::nullopt;
    EntryId id;
    id.storePath = decode(parts[2]);
    if (id.storePath.isEmpty())
        return std::nullopt;
    if (parts[1] == QLatin1String("store") && parts.size() == 3) {
        id.kind = Kind::Store;
    } else if (parts[1] == QLatin1String("folder") && parts.size() == 4) {
        id.kind = Kind::Folder;
        id.dirName = decode(parts[3]);
    } else if (parts[1] == QLatin1String("msg") && parts.size() == 5) {
        id.kind = Kind::Message;
        id.dirName = decode(parts[3]);
        id.unique = decode(parts[4]);
        if (id.unique.isEmpty() || id.unique.contains('/'))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    return id;
}

QString EntryId::forStore(const QString& storePath)
{
    return EntryId{Kind::Store, storePath, {}, {}}.toString();
}

QString EntryId::forFolder(const QString& storePath, const QString& dirName)
{
    return EntryId{Kind::Folder, storePath, dirName, {}}.toString();
}

QString EntryId::forMessage(const QString& storePath, const QString& dirName, const QString& unique)
{
    // A run names thousands of messages of a few folders (a move: its source
    // and destination in turn): their escaped store and folder are kept.
    struct Prefix {
        QString storePath;
        QString dirName;
        QString text;
    };
    thread_local std::array<Prefix, 4> kept;
    thread_local std::size_t next = 0;
    const Prefix* prefix = nullptr;
    for (const Prefix& candidate : kept) {
        if (!candidate.text.isEmpty() && candidate.dirName == dirName &&
            candidate.storePath == storePath) {
            prefix = &candidate;
            break;
        }
    }
    if (!prefix) {
        Prefix& made = kept[next];
        next = (next + 1) % kept.size();
        // The identifier of an empty name is the prefix, in the one format.
        made = {storePath, dirName, EntryId{Kind::Message, storePath, dirName, {}}.toString()};
        prefix = &made;
    }
    return withEscaped(prefix->text, unique);
}

} // namespace kestrel::platform::maildir
