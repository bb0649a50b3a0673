#include "DirectoryBalancer.h"

#include <QString>
#include <QtEndian>

#include <algorithm>
#include <vector>

namespace kestrel::platform::msg {

namespace {

constexpr std::uint32_t NoStream = 0xFFFFFFFF;
constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr qsizetype EntrySize = 128;
constexpr std::uint8_t Red = 0;
constexpr std::uint8_t Black = 1;

class Directory {
public:
    explicit Directory(QByteArray& file) : m_file(file) {}

    bool load()
    {
        if (m_file.size() < 512)
            return false;
        const auto shift = u16(0x1E);
        if (shift != 9 && shift != 12)
            return false;
        m_sectorSize = qsizetype(1) << shift;
        if (!loadFat())
            return false;
        // The directory's own sector chain.
        std::uint32_t sector = u32(0x30);
        while (sector != EndOfChain) {
            if (sector >= m_fat.size() || offsetOf(sector) < 0 ||
                qsizetype(m_dirSectors.size()) > sectorCount())
                return false;
            m_dirSectors.push_back(sector);
            sector = m_fat[sector];
        }
        m_count = qsizetype(m_dirSectors.size()) * (m_sectorSize / EntrySize);
        return m_count > 0;
    }

    // Every entry reached once from the root, storages and streams only.
    bool isTree()
    {
        return walkStorages([this](std::uint32_t, const std::vector<std::uint32_t>& children) {
                   return std::all_of(children.begin(), children.end(), [this](std::uint32_t c) {
                       const std::uint8_t type = byteAt(c, 66);
                       return type == 1 || type == 2;
                   });
               }) &&
               // The root has no siblings; libgsf walks them if it has.
               byteAt(0, 66) == 5 && field(0, 68) == NoStream && field(0, 72) == NoStream;
    }

    // The name of the first stream whose size is more than the file holds.
    QString oversizedStream()
    {
        QString found;
        walkStorages([&](std::uint32_t, const std::vector<std::uint32_t>& children) {
            for (std::uint32_t c : children) {
                const quint64 size =
                    m_sectorSize == 512
                        ? field(c, 120)
                        : qFromLittleEndian<quint64>(m_file.constData() + entryOffset(c) + 120);
                if (byteAt(c, 66) == 2 && size > quint64(m_file.size())) {
                    const auto* name =
                        reinterpret_cast<const char16_t*>(m_file.constData() + entryOffset(c));
                    found = QString::fromUtf16(name, std::min<int>(field(c, 64) & 0xFFFF, 64) / 2)
                                .section(QChar(0), 0, 0);
                    return false;
                }
            }
            return true;
        });
        return found;
    }

    bool rebalance()
    {
        return walkStorages(
            [this](std::uint32_t storage, const std::vector<std::uint32_t>& children) {
                setField(storage, 76,
                         build(children, 0, qsizetype(children.size()), 1,
                               levels(qsizetype(children.size()))));
                return true;
            });
    }

private:
    // Walks every storage from the root, each entry reached once, handing
    // visit(storage, children) its children in order. False when an entry is
    // reached twice, a chain is broken, or visit says stop.
    template <class Visit> bool walkStorages(Visit visit)
    {
        std::vector<bool> seen(size_t(m_count), false);
        std::vector<std::uint32_t> storages{0};
        seen[0] = true;
        while (!storages.empty()) {
            const std::uint32_t storage = storages.back();
            storages.pop_back();
            std::vector<std::uint32_t> children;
            if (!inOrder(field(storage, 76), seen, children) || !visit(storage, children))
                return false;
            for (std::uint32_t child : children) {
                if (byteAt(child, 66) == 1)
                    storages.push_back(child);
            }
        }
        return true;
    }

    bool loadFat()
    {
        std::vector<std::uint32_t> fatSectors;
        for (qsizetype i = 0; i < 109; ++i) {
            const std::uint32_t s = u32(0x4C + i * 4);
            if (s != NoStream)
                fatSectors.push_back(s);
        }
        std::uint32_t difat = u32(0x44);
        const qsizetype perSector = m_sectorSize / 4;
        // A hostile file may claim any count: no table needs more sectors than exist.
        qsizetype difatSectors = 0;
        for (std::uint32_t n = u32(0x48); n > 0 && difat != EndOfChain && difat != NoStream; --n) {
            if (qsizetype(fatSectors.size()) > sectorCount() || ++difatSectors > sectorCount())
                return false;
            const qsizetype at = offsetOf(difat);
            if (at < 0)
                return false;
            for (qsizetype i = 0; i + 1 < perSector; ++i) {
                const std::uint32_t s = u32(at + i * 4);
                if (s != NoStream)
                    fatSectors.push_back(s);
            }
            difat = u32(at + (perSector - 1) * 4);
        }
        if (qsizetype(fatSectors.size()) > sectorCount())
            return false;
        for (std::uint32_t s : fatSectors) {
            const qsizetype at = offsetOf(s);
            if (at < 0)
                return false;
            for (qsizetype i = 0; i < perSector; ++i)
                m_fat.push_back(u32(at + i * 4));
        }
        return !m_fat.empty();
    }

    // The entries of one sibling tree in their order, without recursion.
    bool inOrder(std::uint32_t top, std::vector<bool>& seen, std::vector<std::uint32_t>& out)
    {
        std::vector<std::uint32_t> stack;
        std::uint32_t node = top;
        while (node != NoStream || !stack.empty()) {
            while (node != NoStream) {
                if (qsizetype(node) >= m_count || seen[node])
                    return false;
                seen[node] = true;
                stack.push_back(node);
                node = field(node, 68);
            }
            node = stack.back();
            stack.pop_back();
            out.push_back(node);
            node = field(node, 72);
        }
        return true;
    }

    static int levels(qsizetype n)
    {
        int depth = 0;
        while ((qsizetype(1) << depth) - 1 < n)
            ++depth;
        return depth;
    }

    // Mid-point split: leaves sit on the last two levels; nodes on an incomplete
    // last level are red, so every path counts the same black nodes.
    std::uint32_t build(const std::vector<std::uint32_t>& nodes, qsizetype from, qsizetype to,
                        int depth, int maxDepth)
    {
        if (from >= to)
            return NoStream;
        const qsizetype mid = from + (to - from) / 2;
        const std::uint32_t node = nodes[size_t(mid)];
        const bool perfect = (qsizetype(1) << maxDepth) - 1 == qsizetype(nodes.size());
        setByte(node, 67, depth == maxDepth && !perfect ? Red : Black);
        setField(node, 68, build(nodes, from, mid, depth + 1, maxDepth));
        setField(node, 72, build(nodes, mid + 1, to, depth + 1, maxDepth));
        return node;
    }

    qsizetype sectorCount() const { return m_file.size() / m_sectorSize; }

    qsizetype offsetOf(std::uint32_t sector) const
    {
        const qsizetype at = (qsizetype(sector) + 1) * m_sectorSize;
        return sector >= 0xFFFFFFFA || at + m_sectorSize > m_file.size() ? -1 : at;
    }
    qsizetype entryOffset(std::uint32_t sid) const
    {
        const qsizetype perSector = m_sectorSize / EntrySize;
        return offsetOf(m_dirSectors[size_t(sid / perSector)]) + (sid % perSector) * EntrySize;
    }
    std::uint16_t u16(qsizetype at) const
    {
        return qFromLittleEndian<std::uint16_t>(m_file.constData() + at);
    }
    std::uint32_t u32(qsizetype at) const
    {
        return qFromLittleEndian<std::uint32_t>(m_file.constData() + at);
    }
    std::uint32_t field(std::uint32_t sid, qsizetype at) const
    {
        return u32(entryOffset(sid) + at);
    }
    std::uint8_t byteAt(std::uint32_t sid, qsizetype at) const
    {
        return static_cast<std::uint8_t>(m_file[entryOffset(sid) + at]);
    }
    void setField(std::uint32_t sid, qsizetype at, std::uint32_t v)
    {
        qToLittleEndian(v, m_file.data() + entryOffset(sid) + at);
    }
    void setByte(std::uint32_t sid, qsizetype at, std::uint8_t v)
    {
        m_file[entryOffset(sid) + at] = char(v);
    }

    QByteArray& m_file;
    qsizetype m_sectorSize = 512;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_dirSectors;
    qsizetype m_count = 0;
};

} // namespace

bool isDirectoryTree(const QByteArray& file)
{
    QByteArray copy = file; // shared, never written
    Directory directory(copy);
    return directory.load() && directory.isTree();
}

QString oversizedStream(const QByteArray& file)
{
    QByteArray copy = file;
    Directory directory(copy);
    return directory.load() ? directory.oversizedStream() : QString();
}

bool balanceDirectory(QByteArray& file)
{
    QByteArray copy = file;
    Directory directory(copy);
    if (!directory.load() || !directory.rebalance())
        return false;
    file = std::move(copy);
    return true;
}

} // namespace kestrel::platform::msg
