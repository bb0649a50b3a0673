#include "NativeName.h"

namespace kestrel::platform::maildir {

namespace {

constexpr char16_t kRawBase = 0xDC80; // U+DC80..U+DCFF: the bytes 0x80..0xFF

// Length of the valid UTF-8 sequence at data[i], or 0 when it is not one
// (overlong forms, surrogates and code points past U+10FFFF are not valid).
int sequenceLength(const uchar* data, qsizetype size, qsizetype i, char32_t* code)
{
    const uchar lead = data[i];
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((data[i + k] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (data[i + k] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *code = value;
    return length;
}

// A lone surrogate U+DC80..U+DCFF; the same unit after a high surrogate is
// half of a pair (U+10080 is D800 DC80).
bool isRawAt(const QString& text, qsizetype i)
{
    const char16_t unit = text.at(i).unicode();
    return unit >= kRawBase && unit <= 0xDCFF &&
           (i == 0 || !QChar::isHighSurrogate(text.at(i - 1).unicode()));
}

} // namespace

QString nameFromBytes(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    // Message file names are ASCII all but always: every listing converts
    // each one, so that case takes Qt's bulk conversion.
    qsizetype ascii = 0;
    while (ascii < size && data[ascii] < 0x80)
        ++ascii;
    if (ascii == size)
        return QString::fromLatin1(bytes);
    QString out;
    out.reserve(size);
    out += QLatin1String(bytes.constData(), ascii);
    for (qsizetype i = ascii; i < size;) {
        if (data[i] < 0x80) {
            out += QChar(data[i++]);
            continue;
        }
        char32_t code = 0;
        const int length = sequenceLength(data, size, i, &code);
        if (length == 0) {
            out += QChar(char16_t(kRawBase + (data[i++] - 0x80)));
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i += length;
    }
    return out;
}

QByteArray nativePath(const QString& path)
{
    // Every file the backend opens comes through here; most paths are ASCII.
    if (QtPrivate::isAscii(QStringView(path)))
        return path.toLatin1();
    if (!hasRawBytes(path))
        return path.toUtf8();
    QByteArray out;
    qsizetype plain = 0; // start of the text not written yet
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isRawAt(path, i))
            continue;
        out += QStringView(path).mid(plain, i - plain).toUtf8();
        out += char(0x80 + (path.at(i).unicode() - kRawBase));
        plain = i + 1;
    }
    out += QStringView(path).mid(plain).toUtf8();
    return out;
}

bool hasRawBytes(const QString& name)
{
    // Called for every path the backend opens: a tight scan of the units,
    // the full test only for one in the raw range.
    const QChar* units = name.constData();
    for (qsizetype i = 0, size = name.size(); i < size; ++i) {
        if ((units[i].unicode() & 0xFF80) == kRawBase && isRawAt(name, i))
            return true;
    }
    return false;
}

QString visibleName(const QString& name)
{
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name.at(i).unicode();
        const int byte = isRawAt(name, i)                ? 0x80 + (unit - kRawBase)
                         : (unit < 0x20 || unit == 0x7f) ? int(unit)
                                                         : -1;
        if (byte < 0)
            out += name.at(i);
        else
            out += QStringLiteral("%%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

} // namespace kestrel::platform::maildir
