#include "HeaderFields.h"

#include "../msg/GMimeSupport.h"

#include <QDate>

#include <gmime/gmime.h>

#include <algorithm>
#include <cstring>

namespace kestrel::platform::maildir {

namespace {

// Longer blocks may hold fields that MessageHeaders::parse cuts short.
constexpr qsizetype kMaxReadableBytes = 64 * 1024;

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

// Most fields are none of those looked for: their lengths tell them apart.
template <qsizetype N> bool isName(QByteArrayView name, const char (&wanted)[N])
{
    return name.size() == N - 1 && name.compare(wanted, Qt::CaseInsensitive) == 0;
}

// Most header blocks are ASCII, which is UTF-8 without a closer look.
bool isAscii(const QByteArray& bytes)
{
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    quint64 seen = 0;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word = 0;
        std::memcpy(&word, data + i, 8);
        seen |= word;
    }
    for (; i < size; ++i)
        seen |= uchar(data[i]);
    return (seen & 0x8080808080808080ULL) == 0;
}

bool isAtomChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '+';
}

bool isWordChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Dot-separated runs of chars that pass `allowed`, none empty.
bool isDotted(QByteArrayView text, bool (*allowed)(char))
{
    if (text.isEmpty() || text.front() == '.' || text.back() == '.')
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' ? text[i - 1] == '.' : !allowed(c))
            return false;
    }
    return true;
}

// local@domain of plain atoms. Punycode domains ("xn--") are left to GMime,
// which decodes them.
bool isPlainAddrSpec(QByteArrayView text)
{
    const qsizetype at = text.indexOf('@');
    if (at <= 0)
        return false;
    const QByteArrayView domain = text.sliced(at + 1);
    return isDotted(text.first(at), isAtomChar) && isDotted(domain, isAtomChar) &&
           !domain.contains('_') && !domain.contains('+') && !domain.contains("--");
}

// Words of letters and digits, one space apart.
bool isPlainPhrase(QByteArrayView text)
{
    if (text.isEmpty() || text.front() == ' ' || text.back() == ' ')
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' ? text[i - 1] == ' ' : !isWordChar(c))
            return false;
    }
    return true;
}

// One mailbox in a form whose reading is plain: "a@b.c", "Name <a@b.c>" or
// "\"Name\" <a@b.c>" with a name of plain words. Anything else (groups,
// comments, several mailboxes, encoded words) goes to GMime's parser.
std::optional<MailAddress> plainMailbox(QByteArrayView value)
{
    if (isPlainAddrSpec(value))
        return MailAddress{QString(), QString::fromLatin1(value)};
    if (!value.endsWith('>'))
        return std::nullopt;
    const qsizetype open = value.lastIndexOf('<');
    if (open < 2 || value[open - 1] != ' ')
        return std::nullopt;
    const QByteArrayView addr = value.sliced(open + 1, value.size() - open - 2);
    QByteArrayView name = value.first(open - 1);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.sliced(1, name.size() - 2);
    if (!isPlainAddrSpec(addr) || !isPlainPhrase(name))
        return std::nullopt;
    return MailAddress{QString::fromLatin1(name), QString::fromLatin1(addr)};
}

// Digits at text[at..] up to a non-digit, at least min and at most max of
// them; -1 otherwise. at moves past them.
int number(QByteArrayView text, qsizetype& at, int min, int max)
{
    int value = 0;
    int count = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && count < max) {
        value = value * 10 + (text[at++] - '0');
        ++count;
    }
    return count >= min && (at == text.size() || text[at] < '0' || text[at] > '9') ? value : -1;
}

bool skip(QByteArrayView text, qsizetype& at, char c)
{
    if (at < text.size() && text[at] == c) {
        ++at;
        return true;
    }
    return false;
}

// The form nearly every mailer writes, "[Tue, ]3 Mar 2026 10:00[:00] +0100"
// (or GMT), read here exactly as GMime's date parser reads it; anything else,
// out-of-range values included, is left to that parser.
std::optional<qint64> plainDateMsecs(QByteArrayView text)
{
    static constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    qsizetype at = 0;
    if (text.size() > 5 && text[3] == ',' && text[4] == ' ') {
        if (std::none_of(std::begin(kDays), std::end(kDays),
                         [&](const char* day) { return text.first(3) == day; }))
            return std::nullopt;
        at = 5;
    }
    const int day = number(text, at, 1, 2);
    if (day < 0 || !skip(text, at, ' ') || at + 4 > text.size() || text[at + 3] != ' ')
        return std::nullopt;
    const auto month = std::find_if(std::begin(kMonths), std::end(kMonths),
                                    [&](const char* m) { return text.sliced(at, 3) == m; });
    if (month == std::end(kMonths))
        return std::nullopt;
    at += 4;
    const int year = number(text, at, 4, 4);
    if (year < 1970 || !skip(text, at, ' '))
        return std::nullopt;
    const int hour = number(text, at, 2, 2);
    const int minute = skip(text, at, ':') ? number(text, at, 2, 2) : -1;
    int second = 0;
    if (skip(text, at, ':'))
        second = number(text, at, 2, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        !skip(text, at, ' '))
        return std::nullopt;
    int zone = 0; // minutes east of UTC
    const QByteArrayView rest = text.sliced(at);
    if (rest != "GMT") {
        if (rest.size() != 5 || (rest[0] != '+' && rest[0] != '-'))
            return std::nullopt;
        qsizetype z = 1;
        const int hhmm = number(rest, z, 4, 4);
        if (hhmm < 0 || hhmm / 100 > 23 || hhmm % 100 > 59)
            return std::nullopt;
        zone = (hhmm / 100 * 60 + hhmm % 100) * (rest[0] == '-' ? -1 : 1);
    }
    const QDate date(year, int(month - std::begin(kMonths)) + 1, day);
    if (!date.isValid())
        return std::nullopt;
    const qint64 days = date.toJulianDay() - QDate(1970, 1, 1).toJulianDay();
    return ((days * 24 + hour) * 60 + minute - zone) * 60000 + second * 1000;
}

QByteArray takeGString(char* text)
{
    QByteArray out(text ? text : "");
    g_free(text);
    return out;
}

} // namespace

HeaderFields::HeaderFields(QByteArray block) : m_block(std::move(block))
{
    m_readable = scan();
}

bool HeaderFields::scan()
{
    const qsizetype size = m_block.size();
    if (size > kMaxReadableBytes || std::memchr(m_block.constData(), '\0', size) ||
        (!isAscii(m_block) && msg::hasNonUtf8Bytes(m_block)))
        return false;
    // Every message of a folder comes through here: raw pointers and memchr
    // rather than QByteArray's checked access.
    const char* const data = m_block.constData();
    const bool hasCr = std::memchr(data, '\r', size) != nullptr;
    Range* open = nullptr; // the field whose continuation lines are being read
    qsizetype start = 0;
    while (start < size) {
        const auto* newline =
            static_cast<const char*>(std::memchr(data + start, '\n', size - start));
        const qsizetype next = newline ? newline - data + 1 : size;
        qsizetype lineEnd = newline ? newline - data : size;
        if (hasCr) {
            if (lineEnd > start && data[lineEnd - 1] == '\r')
                --lineEnd;
            if (std::memchr(data + start, '\r', lineEnd - start))
                return false; // a bare CR: the parser's line ends are its own
        }
        if (lineEnd == start)
            break; // the blank line that ends the headers
        const char first = data[start];
        if (first == ' ' || first == '\t') {
            const QByteArrayView line(data + start, lineEnd - start);
            if (start == 0 || line.trimmed().isEmpty())
                return false;
            if (open)
                open->end = lineEnd;
        } else {
            qsizetype colon = start;
            while (colon < lineEnd && isNameChar(data[colon]))
                ++colon;
            if (colon == start || colon == lineEnd || data[colon] != ':')
                return false; // not a plain field: the parser decides what it is
            const QByteArrayView name(m_block.constData() + start, colon - start);
            const Range range{colon + 1, lineEnd};
            open = nullptr;
            if (isName(name, "Date")) {
                m_date = range;
                open = &m_date;
            } else if (isName(name, "Subject")) {
                m_subject = range;
                open = &m_subject;
            } else if (isName(name, "From")) {
                m_from.append(range);
                open = &m_from.last();
            } else if (!m_contentType.found() && isName(name, "Content-Type")) {
                m_contentType = range;
                open = &m_contentType;
            }
        }
        start = next;
    }
    return true;
}

QByteArray HeaderFields::raw(Range range) const
{
    return m_block.sliced(range.begin, range.end - range.begin);
}

std::optional<QByteArrayView> HeaderFields::plainText(Range range) const
{
    QByteArrayView text(m_block.constData() + range.begin, range.end - range.begin);
    for (const char c : text) {
        if (c < 0x20 || c > 0x7e)
            return std::nullopt; // a fold, a tab or 8-bit text
    }
    for (const char* at = text.data();
         (at = static_cast<const char*>(std::memchr(at, '=', text.end() - at))) != nullptr;) {
        if (++at < text.end() && *at == '?')
            return std::nullopt; // an encoded word
    }
    while (!text.isEmpty() && text.front() == ' ')
        text = text.sliced(1);
    while (!text.isEmpty() && text.back() == ' ')
        text.chop(1);
    return text;
}

QByteArray HeaderFields::decodedText(Range range) const
{
    if (const std::optional<QByteArrayView> plain = plainText(range))
        return plain->toByteArray();
    msg::ensureGMime();
    const QByteArray unfolded = takeGString(g_mime_utils_header_unfold(raw(range).constData()));
    return takeGString(g_mime_utils_header_decode_text(nullptr, unfolded.constData()));
}

std::optional<qint64> HeaderFields::dateMsecs() const
{
    if (!m_date.found())
        return std::nullopt;
    if (const std::optional<QByteArrayView> plain = plainText(m_date)) {
        if (const std::optional<qint64> msecs = plainDateMsecs(*plain))
            return msecs;
    }
    GDateTime* date = g_mime_utils_header_decode_date(decodedText(m_date).constData());
    if (!date)
        return std::nullopt;
    const qint64 msecs =
        qint64(g_date_time_to_unix(date)) * 1000 + g_date_time_get_microsecond(date) / 1000;
    g_date_time_unref(date);
    return msecs;
}

QString HeaderFields::subject() const
{
    return m_subject.found() ? QString::fromUtf8(decodedText(m_subject)) : QString();
}

QList<MailAddress> HeaderFields::from() const
{
    QList<MailAddress> out;
    for (const Range& range : m_from) {
        const std::optional<QByteArrayView> plain = plainText(range);
        if (const std::optional<MailAddress> one = plain ? plainMailbox(*plain) : std::nullopt)
            out.append(*one);
        else
            appendParsedAddresses(raw(range), out);
    }
    return out;
}

std::optional<ContentKind> HeaderFields::plainKind() const
{
    if (!m_contentType.found())
        return ContentKind::Mail;
    const QByteArray value = raw(m_contentType).toLower();
    if (value.contains("multipart") || value.contains("calendar"))
        return std::nullopt;
    return ContentKind::Mail;
}

} // namespace kestrel::platform::maildir
