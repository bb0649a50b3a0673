#include "HeaderFields.h"

#include "../msg/GMimeSupport.h"

#include <gmime/gmime.h>

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
        msg::hasNonUtf8Bytes(m_block))
        return false;
    Range* open = nullptr; // the field whose continuation lines are being read
    qsizetype start = 0;
    while (start < size) {
        const qsizetype newline = m_block.indexOf('\n', start);
        const qsizetype next = newline < 0 ? size : newline + 1;
        qsizetype lineEnd = newline < 0 ? size : newline;
        if (lineEnd > start && m_block[lineEnd - 1] == '\r')
            --lineEnd;
        if (std::memchr(m_block.constData() + start, '\r', lineEnd - start))
            return false; // a bare CR: the parser's line ends are its own
        if (lineEnd == start)
            break; // the blank line that ends the headers
        const char first = m_block[start];
        if (first == ' ' || first == '\t') {
            const QByteArrayView line(m_block.constData() + start, lineEnd - start);
            if (start == 0 || line.trimmed().isEmpty())
                return false;
            if (open)
                open->end = lineEnd;
        } else {
            qsizetype colon = start;
            while (colon < lineEnd && isNameChar(m_block[colon]))
                ++colon;
            if (colon == start || colon == lineEnd || m_block[colon] != ':')
                return false; // not a plain field: the parser decides what it is
            const QByteArrayView name(m_block.constData() + start, colon - start);
            const Range range{colon + 1, lineEnd};
            open = nullptr;
            if (name.compare("Date", Qt::CaseInsensitive) == 0) {
                m_date = range;
                open = &m_date;
            } else if (name.compare("Subject", Qt::CaseInsensitive) == 0) {
                m_subject = range;
                open = &m_subject;
            } else if (name.compare("From", Qt::CaseInsensitive) == 0) {
                m_from.append(range);
                open = &m_from.last();
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

QByteArray HeaderFields::decodedText(Range range) const
{
    msg::ensureGMime();
    const QByteArray unfolded = takeGString(g_mime_utils_header_unfold(raw(range).constData()));
    return takeGString(g_mime_utils_header_decode_text(nullptr, unfolded.constData()));
}

std::optional<qint64> HeaderFields::dateMsecs() const
{
    if (!m_date.found())
        return std::nullopt;
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
    for (const Range& range : m_from)
        appendParsedAddresses(raw(range), out);
    return out;
}

} // namespace kestrel::platform::maildir
