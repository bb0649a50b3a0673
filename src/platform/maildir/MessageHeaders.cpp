#include "MessageHeaders.h"

#include "../msg/GMimeSupport.h"
#include "FileAccess.h"

#include <QFile>

#include <gmime/gmime.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

void appendAddresses(InternetAddressList* list, QList<MailAddress>& out)
{
    if (!list)
        return;
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            appendAddresses(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)),
                            out);
        } else if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            out.append(
                {fromUtf8(internet_address_get_name(address)),
                 fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)))});
        }
    }
}

void appendHeaderAddresses(GMimeMessage* message, const char* header, QList<MailAddress>& out)
{
    if (const char* value = g_mime_object_get_header(GMIME_OBJECT(message), header))
        appendParsedAddresses(value, out);
}

ContentKind kindOfType(GMimeContentType* type)
{
    if (!type)
        return ContentKind::Mail;
    if (g_mime_content_type_is_type(type, "multipart", "report"))
        return ContentKind::Report;
    if (g_mime_content_type_is_type(type, "text", "calendar"))
        return g_mime_content_type_get_parameter(type, "method") ? ContentKind::Meeting
                                                                 : ContentKind::Mail;
    if (g_mime_content_type_is_type(type, "multipart", "*"))
        return ContentKind::MaybeMeeting;
    return ContentKind::Mail;
}

ContentKind contentKind(GMimeMessage* message)
{
    GMimeObject* part = g_mime_message_get_mime_part(message);
    return kindOfType(part ? g_mime_object_get_content_type(part) : nullptr);
}

// The unfolded value of the first field of that name, or a null array.
QByteArray fieldValue(const QByteArray& block, QByteArrayView name)
{
    qsizetype start = 0;
    while (start < block.size()) {
        qsizetype end = block.indexOf('\n', start);
        end = end < 0 ? block.size() : end + 1;
        const QByteArrayView line(block.constData() + start, end - start);
        if (line.size() > name.size() && line.at(name.size()) == ':' &&
            line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0) {
            QByteArray value = line.sliced(name.size() + 1).trimmed().toByteArray();
            while (end < block.size() && (block[end] == ' ' || block[end] == '\t')) {
                qsizetype next = block.indexOf('\n', end);
                next = next < 0 ? block.size() : next + 1;
                value += ' ' + block.mid(end, next - end).trimmed();
                end = next;
            }
            return value;
        }
        start = end;
    }
    return {};
}

qsizetype headerEnd(const QByteArray& data, qsizetype from)
{
    const char* bytes = data.constData();
    const qsizetype size = data.size();
    for (qsizetype i = qMax<qsizetype>(from, 0); i < size; ++i) {
        const void* newline = std::memchr(bytes + i, '\n', size_t(size - i));
        if (!newline)
            break;
        i = static_cast<const char*>(newline) - bytes;
        if (i + 1 < size && bytes[i + 1] == '\n')
            return i + 2;
        if (i + 2 < size && bytes[i + 1] == '\r' && bytes[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

// GMime's address parser recurses per word: a field of tens of thousands of
// encoded words runs it past the end of the stack. No real field comes near
// this size, so longer ones are cut at a line end before GMime sees them.
constexpr qsizetype kMaxFieldBytes = 64 * 1024;

QByteArray withFieldsCut(const QByteArray& block)
{
    QByteArray out;
    out.reserve(block.size());
    qsizetype fieldBytes = 0;
    qsizetype start = 0;
    while (start < block.size()) {
        qsizetype end = block.indexOf('\n', start);
        end = end < 0 ? block.size() : end + 1;
        const bool continuation = block[start] == ' ' || block[start] == '\t';
        fieldBytes = continuation ? fieldBytes + (end - start) : end - start;
        if (fieldBytes <= kMaxFieldBytes) {
            out.append(block.constData() + start, end - start);
        } else if (!continuation) {
            out.append(block.constData() + start, kMaxFieldBytes);
            out.append('\n');
        }
        start = end;
    }
    return out;
}

} // namespace

MessageHeaders MessageHeaders::parse(const QByteArray& headerBlock)
{
    MessageHeaders headers;
    QByteArray data =
        headerBlock.size() > kMaxFieldBytes ? withFieldsCut(headerBlock) : headerBlock;
    if (!data.endsWith("\n\n") && !data.endsWith("\n\r\n"))
        data.append("\n\n"); // a block cut short still parses as headers only
    GMimeMessage* message = msg::parseMimeMessage(data);
    if (!message)
        return headers;
    // Unlabelled 8-bit text (names, subjects) is read as UTF-8 when it is, else
    // in the message's own charset, else windows-1252: never as U+FFFD.
    if (msg::hasNonUtf8Bytes(msg::rawHeaderBlock(data))) {
        GMimeParserOptions* options = msg::fallbackOptions(msg::bodyCharset(message));
        g_object_unref(message);
        message = msg::parseMimeMessage(data, options);
        g_mime_parser_options_free(options);
        if (!message)
            return headers;
    }
    headers.subject = fromUtf8(g_mime_message_get_subject(message));
    appendAddresses(g_mime_message_get_from(message), headers.from);
    appendAddresses(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_TO), headers.to);
    appendAddresses(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_CC), headers.cc);
    appendAddresses(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_BCC), headers.bcc);
    appendHeaderAddresses(message, "Delivered-To", headers.deliveredTo);
    appendHeaderAddresses(message, "X-Original-To", headers.deliveredTo);
    if (GDateTime* date = g_mime_message_get_date(message))
        headers.dateMsecs =
            qint64(g_date_time_to_unix(date)) * 1000 + g_date_time_get_microsecond(date) / 1000;
    headers.kind = contentKind(message);
    g_object_unref(message);
    return headers;
}

ContentKind MessageHeaders::kindOf(const QByteArray& headerBlock)
{
    const QByteArray value = fieldValue(headerBlock, "Content-Type");
    if (value.isNull())
        return ContentKind::Mail;
    msg::ensureGMime();
    GMimeContentType* type = g_mime_content_type_parse(nullptr, value.constData());
    const ContentKind kind = kindOfType(type);
    if (type)
        g_object_unref(type);
    return kind;
}

std::optional<QByteArray> readHeaderBlock(const QString& path, PlatformError* error)
{
    struct stat st {};
    const int fd = openMessageFile(path, &st, error);
    if (fd < 0)
        return std::nullopt;
    return readHeaderBlock(fd, path, error);
}

std::optional<QByteArray> readHeaderBlock(int fd, const QString& path, PlatformError* error)
{
    QByteArray data;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int code = errno;
            ::close(fd);
            if (error)
                *error = PlatformError::fromErrno(
                    code, QStringLiteral("The message file cannot be read"), path);
            return std::nullopt;
        }
        if (got == 0)
            break;
        const qsizetype before = data.size();
        data.append(buffer, got);
        if (data.startsWith('\n') || data.startsWith("\r\n")) {
            data.truncate(data.indexOf('\n') + 1); // no headers at all
            break;
        }
        const qsizetype end = headerEnd(data, before - 2);
        if (end >= 0) {
            data.truncate(end);
            break;
        }
        if (data.size() >= kMaxHeaderBytes) {
            data.truncate(kMaxHeaderBytes);
            break;
        }
    }
    ::close(fd);
    return data;
}

void appendParsedAddresses(const QByteArray& rawValue, QList<MailAddress>& out)
{
    msg::ensureGMime();
    InternetAddressList* list = internet_address_list_parse(nullptr, rawValue.constData());
    appendAddresses(list, out);
    if (list)
        g_object_unref(list);
}

bool isMeetingMessage(const QByteArray& wholeMessage)
{
    if (!wholeMessage.contains("calendar") && !wholeMessage.contains("CALENDAR") &&
        !wholeMessage.contains("Calendar"))
        return false; // spares a full parse of ordinary multipart mail
    GMimeMessage* message = msg::parseMimeMessage(wholeMessage);
    if (!message)
        return false;
    bool found = false;
    g_mime_message_foreach(
        message,
        [](GMimeObject*, GMimeObject* part, gpointer data) {
            GMimeContentType* type = g_mime_object_get_content_type(part);
            if (GMIME_IS_PART(part) && type &&
                g_mime_content_type_is_type(type, "text", "calendar") &&
                g_mime_content_type_get_parameter(type, "method"))
                *static_cast<bool*>(data) = true;
        },
        &found);
    g_object_unref(message);
    return found;
}

} // namespace kestrel::platform::maildir
