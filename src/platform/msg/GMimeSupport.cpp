#include "GMimeSupport.h"

#include <mutex>

namespace kestrel::platform::msg {

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

GMimeMessage* parseMimeMessage(const QByteArray& bytes)
{
    ensureGMime();
    GRef<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    return g_mime_parser_construct_message(parser.get(), nullptr);
}

QByteArray objectToBytes(GMimeObject* object)
{
    GRef<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, stream.get());
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(array->data), qsizetype(array->len));
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

QByteArray headerBlock(const QByteArray& mime)
{
    QByteArray text = mime;
    text.replace("\r\n", "\n");
    if (text.startsWith('\n'))
        return {};
    const qsizetype end = text.indexOf("\n\n");
    return end < 0 ? text : text.left(end + 1);
}

} // namespace kestrel::platform::msg
