#include "Charsets.h"

#include <cerrno>
#include <iconv.h>

namespace kestrel::platform::msg {

namespace {

struct CodepageName {
    int codepage;
    const char* name;
};

// First name per code page is the one handed to iconv; later ones are aliases.
constexpr CodepageName Table[] = {
    {65001, "UTF-8"},       {1200, "UTF-16LE"},      {1201, "UTF-16BE"},
    {65000, "UTF-7"},       {20127, "US-ASCII"},     {1250, "WINDOWS-1250"},
    {1251, "WINDOWS-1251"}, {1252, "WINDOWS-1252"},  {1253, "WINDOWS-1253"},
    {1254, "WINDOWS-1254"}, {1255, "WINDOWS-1255"},  {1256, "WINDOWS-1256"},
    {1257, "WINDOWS-1257"}, {1258, "WINDOWS-1258"},  {874, "CP874"},
    {932, "CP932"},         {932, "SHIFT_JIS"},      {932, "SHIFT-JIS"},
    {932, "SJIS"},          {932, "X-SJIS"},         {936, "CP936"},
    {936, "GBK"},           {936, "GB2312"},         {54936, "GB18030"},
    {949, "CP949"},         {949, "KS_C_5601-1987"}, {949, "KS_C_5601"},
    {949, "UHC"},           {950, "BIG5"},           {950, "CP950"},
    {950, "BIG5-HKSCS"},    {51949, "EUC-KR"},       {51932, "EUC-JP"},
    {20932, "EUC-JP"},      {50220, "ISO-2022-JP"},  {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"}, {50225, "ISO-2022-KR"},  {52936, "HZ-GB-2312"},
    {20866, "KOI8-R"},      {21866, "KOI8-U"},       {28591, "ISO-8859-1"},
    {28591, "LATIN1"},      {28592, "ISO-8859-2"},   {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},   {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},   {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},  {437, "CP437"},
    {850, "CP850"},         {866, "CP866"},          {10000, "MACINTOSH"},
};

QString replacementDecode(const QByteArray& bytes, const char* charset)
{
    iconv_t cd = iconv_open("UTF-16LE", charset);
    if (cd == iconv_t(-1))
        cd = iconv_open("UTF-16LE", "WINDOWS-1252");
    if (cd == iconv_t(-1))
        return QString::fromLatin1(bytes);

    QString out;
    out.reserve(bytes.size());
    QByteArray buffer(4096, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    auto flush = [&](char* end) {
        const auto n = (end - buffer.data()) / 2;
        out.append(QStringView(reinterpret_cast<const char16_t*>(buffer.constData()), n));
    };
    while (true) {
        char* outPtr = buffer.data();
        size_t outLeft = size_t(buffer.size());
        const size_t rc = iconv(cd, inLeft ? &in : nullptr, &inLeft, &outPtr, &outLeft);
        flush(outPtr);
        if (rc != size_t(-1)) {
            if (inLeft == 0)
                break;
            continue;
        }
        if (errno == E2BIG)
            continue;
        // Invalid or truncated sequence: mark it and go on with the next byte.
        out.append(QChar(0xFFFD));
        if (inLeft == 0)
            break;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

} // namespace

const char* charsetForCodepage(int codepage)
{
    for (const auto& entry : Table) {
        if (entry.codepage == codepage)
            return entry.name;
    }
    return nullptr;
}

int codepageForCharset(const QByteArray& charset)
{
    const QByteArray upper = charset.trimmed().toUpper();
    if (upper.isEmpty())
        return 0;
    for (const auto& entry : Table) {
        if (upper == entry.name)
            return entry.codepage;
    }
    for (const char* prefix : {"WINDOWS-", "X-CP", "CP"}) {
        if (!upper.startsWith(prefix))
            continue;
        bool ok = false;
        const int n = upper.mid(int(qstrlen(prefix))).toInt(&ok);
        if (ok && charsetForCodepage(n))
            return n;
    }
    if (upper == "ASCII" || upper == "ANSI_X3.4-1968")
        return 20127;
    if (upper == "UTF8")
        return 65001;
    return 0;
}

int ansiCodepageFor(int internetCodepage)
{
    switch (internetCodepage) {
    case 50220:
    case 50221:
    case 50222:
    case 51932:
    case 20932:
        return 932;
    case 28591:
    case 20127:
    case 28605:
        return 1252;
    case 51949:
        return 949;
    case 52936:
        return 936;
    default:
        return internetCodepage;
    }
}

QString decodeCodepage(const QByteArray& bytes, int codepage)
{
    if (codepage == 65001)
        return QString::fromUtf8(bytes);
    const char* name = charsetForCodepage(codepage);
    return decodeCharset(bytes, name ? name : "WINDOWS-1252");
}

QString decodeCharset(const QByteArray& bytes, const char* charset)
{
    if (bytes.isEmpty())
        return {};
    bool ascii = true;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    const QByteArray upper = QByteArray(charset).toUpper();
    // Plain ASCII reads the same in every charset but the 7-bit escape ones.
    if (ascii && !upper.startsWith("ISO-2022") && !upper.startsWith("UTF-7") &&
        !upper.startsWith("UTF-16") && !upper.startsWith("HZ"))
        return QString::fromLatin1(bytes);
    if (upper == "UTF-8")
        return QString::fromUtf8(bytes);
    return replacementDecode(bytes, charset);
}

} // namespace kestrel::platform::msg
