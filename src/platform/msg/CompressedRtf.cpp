#include "CompressedRtf.h"

#include <QtEndian>

#include <array>
#include <cstring>

namespace kestrel::platform::msg {

namespace {

constexpr std::uint32_t MagicCompressed = 0x75465A4C;   // "LZFu"
constexpr std::uint32_t MagicUncompressed = 0x414C454D; // "MELA"
constexpr int DictionarySize = 4096;

// The dictionary starts out holding these 207 bytes.
constexpr char Preload[] =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern "
    "\\fscript \\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0"
    "\\blue0\r\n\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
constexpr int PreloadSize = sizeof(Preload) - 1;
static_assert(PreloadSize == 207);

std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

} // namespace

std::uint32_t rtfCrc(const char* data, qsizetype size)
{
    static const auto table = makeCrcTable();
    std::uint32_t crc = 0;
    for (qsizetype i = 0; i < size; ++i)
        crc = table[(crc ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (crc >> 8);
    return crc;
}

std::optional<QByteArray> decompressRtf(const QByteArray& in, qsizetype maxSize)
{
    if (in.size() < 16)
        return std::nullopt;
    const char* p = in.constData();
    const auto compSize = qFromLittleEndian<std::uint32_t>(p);
    const auto rawSize = qFromLittleEndian<std::uint32_t>(p + 4);
    const auto magic = qFromLittleEndian<std::uint32_t>(p + 8);
    const auto crc = qFromLittleEndian<std::uint32_t>(p + 12);
    // COMPSIZE counts the 12 header bytes after itself.
    const qsizetype end = std::min<qsizetype>(in.size(), qsizetype(compSize) + 4);
    if (compSize < 12)
        return std::nullopt;

    if (magic == MagicUncompressed) {
        const qsizetype n = std::min<qsizetype>({qsizetype(rawSize), in.size() - 16, maxSize});
        return in.mid(16, n);
    }
    if (magic != MagicCompressed)
        return std::nullopt;
    if (rtfCrc(p + 16, end - 16) != crc)
        return std::nullopt;

    std::array<char, DictionarySize> dict{};
    std::memcpy(dict.data(), Preload, PreloadSize);
    int writePos = PreloadSize;
    QByteArray out;
    out.reserve(std::min<qsizetype>(qsizetype(rawSize), maxSize));
    qsizetype i = 16;
    while (i < end) {
        const auto control = static_cast<unsigned char>(p[i++]);
        for (int bit = 0; bit < 8; ++bit) {
            if (control & (1 << bit)) {
                if (i + 2 > end)
                    return std::nullopt;
                const int ref =
                    (static_cast<unsigned char>(p[i]) << 8) | static_cast<unsigned char>(p[i + 1]);
                i += 2;
                const int offset = ref >> 4;
                const int length = (ref & 0xF) + 2;
                if (offset == writePos)
                    return out; // the end marker
                for (int k = 0; k < length; ++k) {
                    const char c = dict[(offset + k) % DictionarySize];
                    if (out.size() >= maxSize)
                        return std::nullopt;
                    out.append(c);
                    dict[writePos] = c;
                    writePos = (writePos + 1) % DictionarySize;
                }
            } else {
                if (i >= end)
                    return out; // padding after a short last run
                const char c = p[i++];
                if (out.size() >= maxSize)
                    return std::nullopt;
                out.append(c);
                dict[writePos] = c;
                writePos = (writePos + 1) % DictionarySize;
            }
        }
    }
    return out;
}

QByteArray wrapUncompressedRtf(const QByteArray& rtf)
{
    QByteArray out(16, '\0');
    qToLittleEndian<std::uint32_t>(std::uint32_t(rtf.size() + 12), out.data());
    qToLittleEndian<std::uint32_t>(std::uint32_t(rtf.size()), out.data() + 4);
    qToLittleEndian<std::uint32_t>(MagicUncompressed, out.data() + 8);
    out.append(rtf);
    return out;
}

} // namespace kestrel::platform::msg
