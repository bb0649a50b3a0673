#include "GMimeSupport.h"

#include "ByteArrayStream.h"

#include <mutex>

namespace kestrel::platform::msg {

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

GMimeMessage* parseMimeMessage(const QByteArray& bytes, GMimeParserOptions* options)
{
    ensureGMime();
    GRef<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    return parseMimeMessage(stream.get(), options);
}

GMimeMessage* parseMimeMessage(GMimeStream* stream, GMimeParserOptions* options)
{
    ensureGMime();
    GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
    return g_mime_parser_construct_message(parser.get(), options);
}

GMimeParserOptions* fallbackOptions(const QByteArray& bodyCharset)
{
    ensureGMime();
    GMimeParserOptions* options = g_mime_parser_options_new();
    const QByteArray body = bodyCharset.trimmed();
    const bool useBody = !body.isEmpty() && body.compare("utf-8", Qt::CaseInsensitive) != 0 &&
                         body.compare("us-ascii", Qt::CaseInsensitive) != 0;
    const char* charsets[] = {"UTF-8", useBody ? body.constData() : "windows-1252",
                              useBody ? "windows-1252" : nullptr, nullptr};
    g_mime_parser_options_set_fallback_charsets(options, charsets);
    return options;
}

QByteArray bodyCharset(GMimeMessage* message)
{
    QByteArray found;
    g_mime_message_foreach(
        message,
        [](GMimeObject*, GMimeObject* part, gpointer data) {
            auto* out = static_cast<QByteArray*>(data);
            GMimeContentType* type = g_mime_object_get_content_type(part);
            const char* charset = type && GMIME_IS_TEXT_PART(part)
                                      ? g_mime_content_type_get_parameter(type, "charset")
                                      : nullptr;
            if (out->isEmpty() && charset)
                *out = charset;
        },
        &found);
    if (found.isEmpty()) {
        GMimeObject* body = g_mime_message_get_mime_part(message);
        GMimeContentType* type = body ? g_mime_object_get_content_type(body) : nullptr;
        const char* charset = type ? g_mime_content_type_get_parameter(type, "charset") : nullptr;
        if (charset)
            found = charset;
    }
    return found;
}

bool hasNonUtf8Bytes(const QByteArray& bytes)
{
    return !g_utf8_validate(bytes.constData(), bytes.size(), nullptr);
}

GMimeStream* borrowedStream(const QByteArray& data)
{
    // A GByteArray around our bytes that the stream does not own; the wrapper
    // alone is freed here, GMime only reads through it.
    static const char empty = 0;
    auto* bytes =
        reinterpret_cast<guint8*>(const_cast<char*>(data.isEmpty() ? &empty : data.constData()));
    GByteArray* array = g_byte_array_new_take(bytes, gsize(data.size()));
    GMimeStream* stream = g_mime_stream_mem_new();
    g_mime_stream_mem_set_byte_array(GMIME_STREAM_MEM(stream), array); // makes it owner again
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream), FALSE);
    g_object_set_data_full(G_OBJECT(stream), "kestrel-borrowed", array, [](gpointer a) {
        g_byte_array_free(static_cast<GByteArray*>(a), FALSE);
    });
    return stream;
}

QByteArray writeWithPrefix(const QByteArray& prefix, GMimeObject* object, qsizetype sizeHint)
{
    QByteArray out;
    out.reserve(std::min<qsizetype>(sizeHint + prefix.size(), 1 << 30));
    out += prefix;
    GRef<GMimeStream> stream(byteArrayStreamNew(&out));
    g_mime_object_write_content_to_stream(object, nullptr, stream.get());
    return out;
}

QByteArray objectToBytes(GMimeObject* object)
{
    QByteArray out;
    GRef<GMimeStream> stream(byteArrayStreamNew(&out));
    g_mime_object_write_to_stream(object, nullptr, stream.get());
    return out;
}

QByteArray rawHeader(GMimeObject* object, const char* name)
{
    GMimeHeaderList* list = g_mime_object_get_header_list(object);
    GMimeHeader* header = list ? g_mime_header_list_get_header(list, name) : nullptr;
    const char* raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    return QByteArray(raw ? raw : "");
}

QByteArray partContent(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GRef<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.get());
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(array->data), qsizetype(array->len));
}

QString fromUtf8Owned(char* text)
{
    if (!text)
        return {};
    QString s = QString::fromUtf8(text);
    g_free(text);
    return s;
}

QByteArray rawHeaderBlock(const QByteArray& mime)
{
    if (mime.startsWith('\n') || mime.startsWith("\r\n"))
        return {};
    const qsizetype lf = mime.indexOf("\n\n");
    const qsizetype crlf = mime.indexOf("\n\r\n");
    const qsizetype end = lf < 0 ? crlf : crlf < 0 ? lf : std::min(lf, crlf);
    return end < 0 ? mime : mime.left(end + 1);
}

QByteArray headerBlock(const QByteArray& mime)
{
    if (mime.startsWith('\n') || mime.startsWith("\r\n"))
        return {};
    // Only the header part is copied: the body may be megabytes.
    const qsizetype lf = mime.indexOf("\n\n");
    const qsizetype crlf = mime.indexOf("\r\n\r\n");
    qsizetype end = lf < 0 ? crlf : crlf < 0 ? lf : std::min(lf, crlf);
    QByteArray text = end < 0 ? mime : mime.left(end + 1);
    text.replace("\r\n", "\n");
    if (!text.endsWith('\n'))
        text += '\n';
    return text;
}

} // namespace kestrel::platform::msg
