#include "ByteArrayStream.h"

namespace kestrel::platform::msg {

namespace {

struct ByteArrayStream {
    GMimeStream parent;
    QByteArray* target;
};

struct ByteArrayStreamClass {
    GMimeStreamClass parent;
};

G_DEFINE_TYPE(ByteArrayStream, byte_array_stream, GMIME_TYPE_STREAM)

ssize_t streamWrite(GMimeStream* stream, const char* buf, size_t len)
{
    auto* self = reinterpret_cast<ByteArrayStream*>(stream);
    self->target->append(buf, qsizetype(len));
    stream->position += gint64(len);
    return ssize_t(len);
}

ssize_t streamRead(GMimeStream*, char*, size_t)
{
    return -1;
}
int streamNothing(GMimeStream*)
{
    return 0;
}
gboolean streamEos(GMimeStream*)
{
    return TRUE;
}
int streamReset(GMimeStream*)
{
    return -1;
}
gint64 streamSeek(GMimeStream*, gint64, GMimeSeekWhence)
{
    return -1;
}
gint64 streamTell(GMimeStream* stream)
{
    return stream->position;
}
gint64 streamLength(GMimeStream* stream)
{
    return stream->position;
}
GMimeStream* streamSubstream(GMimeStream*, gint64, gint64)
{
    return nullptr;
}

void byte_array_stream_class_init(ByteArrayStreamClass* klass)
{
    GMimeStreamClass* c = GMIME_STREAM_CLASS(klass);
    c->read = streamRead;
    c->write = streamWrite;
    c->flush = streamNothing;
    c->close = streamNothing;
    c->eos = streamEos;
    c->reset = streamReset;
    c->seek = streamSeek;
    c->tell = streamTell;
    c->length = streamLength;
    c->substream = streamSubstream;
}

void byte_array_stream_init(ByteArrayStream* self)
{
    self->target = nullptr;
}

} // namespace

GMimeStream* byteArrayStreamNew(QByteArray* target)
{
    auto* self = static_cast<ByteArrayStream*>(g_object_new(byte_array_stream_get_type(), nullptr));
    self->target = target;
    g_mime_stream_construct(GMIME_STREAM(self), 0, -1);
    return GMIME_STREAM(self);
}

} // namespace kestrel::platform::msg
