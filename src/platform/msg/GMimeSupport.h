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

GMimeMessage* parseMimeMessage(const QByteArray& bytes); // new reference or nullptr
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

// The raw header block of an RFC 5322 text (before the first empty line), LF line ends.
QByteArray headerBlock(const QByteArray& mime);

} // namespace kestrel::platform::msg
