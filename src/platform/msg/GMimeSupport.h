#pragma once

// Small helpers around GMime: one-time initialisation, owning references, and
// byte arrays in and out of GMime streams.

#include <QByteArray>
#include <QString>

#include <gmime/gmime.h>

#include <memory>

namespace kestrel::platform::msg {

// g_mime_init() once per process; GMime counts its users, so others may call it too.
void ensureGMime();

struct GObjectUnref {
    void operator()(gpointer p) const
    {
        if (p)
            g_object_unref(p);
    }
};
template <typename T> using GRef = std::unique_ptr<T, GObjectUnref>;

// New references or nullptr. Without options, GMime's defaults decode 8-bit text.
GMimeMessage* parseMimeMessage(const QByteArray& bytes, GMimeParserOptions* options = nullptr);
GMimeMessage* parseMimeMessage(GMimeStream* stream, GMimeParserOptions* options);

// Options whose fallback charsets read unlabelled 8-bit header text as UTF-8
// when it is valid UTF-8, else in `bodyCharset` (when given), else windows-1252.
GMimeParserOptions*
fallbackOptions(const QByteArray& bodyCharset); // free with g_mime_parser_options_free
// The charset of the message's first text part; empty when it names none.
QByteArray bodyCharset(GMimeMessage* message);
// Whether `bytes` holds 8-bit bytes that are not UTF-8.
bool hasNonUtf8Bytes(const QByteArray& bytes);
QByteArray objectToBytes(GMimeObject* object);
// A read-only GMime stream over `data`, which must outlive it (no copy).
GMimeStream* borrowedStream(const QByteArray& data);
// `prefix` then the object's content (no headers of its own), in one buffer of
// about `sizeHint` bytes.
QByteArray writeWithPrefix(const QByteArray& prefix, GMimeObject* object, qsizetype sizeHint);
// A header's value as it stands in the message, still folded and encoded.
QByteArray rawHeader(GMimeObject* object, const char* name);
QByteArray partContent(GMimePart* part); // decoded from its transfer encoding
QString fromUtf8Owned(char* text);       // takes and frees a g_malloc'd string

// The header fields of an RFC 5322 text as they stand, up to the empty line
// (the whole text when it has none).
QByteArray rawHeaderBlock(const QByteArray& mime);
// The raw header block of an RFC 5322 text (before the first empty line), LF line ends.
QByteArray headerBlock(const QByteArray& mime);

} // namespace kestrel::platform::msg
