#pragma once

// A write-only GMime stream that appends to a QByteArray, so that GMime's
// output lands in the caller's buffer without a second copy.

#include <QByteArray>

#include <gmime/gmime.h>

namespace kestrel::platform::msg {

// `target` must outlive the stream.
GMimeStream* byteArrayStreamNew(QByteArray* target);

} // namespace kestrel::platform::msg
