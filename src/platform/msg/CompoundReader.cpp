#include "CompoundReader.h"

#include "DirectoryBalancer.h"
#include "GLibLogCapture.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <mutex>

namespace kestrel::platform::msg {

namespace {

constexpr qint64 HeaderSize = 512;

void initGsf()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

CompoundReader::Storage adopt(GsfInput* input)
{
    if (!input)
        return {};
    if (!GSF_IS_INFILE(input)) {
        g_object_unref(input);
        return {};
    }
    return CompoundReader::Storage(GSF_INFILE(input), [](GsfInfile* f) { g_object_unref(f); });
}

bool isStorageEntry(GsfInput* child)
{
    return GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0;
}

} // namespace

CompoundReader::CompoundReader()
{
    initGsf();
}

CompoundReader::~CompoundReader()
{
    m_root.reset();
    if (m_source)
        g_object_unref(m_source);
}

bool CompoundReader::open(const QByteArray& data)
{
    static const char magic[8] = {char(0xD0), char(0xCF), 0x11, char(0xE0),
                                  char(0xA1), char(0xB1), 0x1A, char(0xE1)};
    if (data.size() < HeaderSize || !data.startsWith(QByteArray(magic, 8))) {
        m_error = QStringLiteral("not an Outlook item file (no compound file header)");
        return false;
    }
    // libgsf leaks, and may loop, on a directory that is no tree; Outlook never
    // writes one.
    if (!isDirectoryTree(data)) {
        m_error = QStringLiteral("damaged compound file: its directory is not a tree");
        return false;
    }
    if (const QString name = oversizedStream(data); !name.isEmpty()) {
        m_error = QStringLiteral("damaged stream \"%1\": it claims more bytes than the file holds")
                      .arg(name);
        return false;
    }
    m_data = data;
    m_budget = 2 * qint64(data.size()) + (1 << 20);
    GLibLogCapture log;
    m_source = gsf_input_memory_new(reinterpret_cast<const guint8*>(m_data.constData()),
                                    gsf_off_t(m_data.size()), FALSE);
    GError* err = nullptr;
    GsfInfile* root = m_source ? gsf_infile_msole_new(m_source, &err) : nullptr;
    if (!root) {
        m_error = QStringLiteral("damaged compound file");
        if (err && err->message)
            m_error += QStringLiteral(": ") + QString::fromUtf8(err->message);
        if (err)
            g_error_free(err);
        return false;
    }
    m_root = Storage(root, [](GsfInfile* f) { g_object_unref(f); });
    return true;
}

std::vector<QString> CompoundReader::names(const Storage& storage)
{
    std::vector<QString> out;
    if (!storage)
        return out;
    GLibLogCapture log;
    const int n = gsf_infile_num_children(storage.get());
    out.reserve(size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
        const char* name = gsf_infile_name_by_index(storage.get(), i);
        out.push_back(name ? QString::fromUtf8(name) : QString());
    }
    return out;
}

CompoundReader::Storage CompoundReader::storageAt(const Storage& parent, int index)
{
    if (!parent)
        return {};
    GLibLogCapture log;
    GsfInput* child = gsf_infile_child_by_index(parent.get(), index);
    if (child && !isStorageEntry(child)) {
        g_object_unref(child);
        return {};
    }
    return adopt(child);
}

CompoundReader::Storage CompoundReader::storage(const Storage& parent, const QString& name)
{
    if (!parent)
        return {};
    GLibLogCapture log;
    GsfInput* child = gsf_infile_child_by_name(parent.get(), name.toUtf8().constData());
    if (child && !isStorageEntry(child)) {
        g_object_unref(child);
        return {};
    }
    return adopt(child);
}

std::optional<QByteArray> CompoundReader::stream(const Storage& parent, const QString& name)
{
    if (!parent)
        return std::nullopt;
    GLibLogCapture log;
    GsfInput* child = gsf_infile_child_by_name(parent.get(), name.toUtf8().constData());
    return child ? read(child, name, false) : std::nullopt;
}

std::optional<QByteArray> CompoundReader::streamAt(const Storage& parent, int index,
                                                   const QString& name, bool inPlace)
{
    if (!parent)
        return std::nullopt;
    GLibLogCapture log;
    GsfInput* child = gsf_infile_child_by_index(parent.get(), index);
    return child ? read(child, name, inPlace) : std::nullopt;
}

std::optional<QByteArray> CompoundReader::read(GsfInput* child, const QString& name, bool inPlace)
{
    std::optional<QByteArray> result;
    const gsf_off_t size = gsf_input_size(child);
    QString why;
    if (isStorageEntry(child)) {
        why = QStringLiteral("it is a storage");
    } else if (size < 0 || size > m_data.size()) {
        why = QStringLiteral("it claims %1 bytes in a file of %2").arg(size).arg(m_data.size());
    } else if (size > m_budget) {
        // Streams may share sectors in a hostile file; real files read about once.
        why = QStringLiteral("streams claim more data than the file holds");
    } else if (size == 0) {
        result = QByteArray();
    } else if (inPlace) {
        // Without a buffer libgsf answers with the bytes in the file when the
        // blocks lie in a row, else with its own copy, which goes with `child`.
        const auto* bytes =
            reinterpret_cast<const char*>(gsf_input_read(child, size_t(size), nullptr));
        const char* begin = m_data.constData();
        if (!bytes)
            why = QStringLiteral("its sectors cannot be read");
        else if (bytes >= begin && bytes + size <= begin + m_data.size())
            result = QByteArray::fromRawData(bytes, qsizetype(size));
        else
            result = QByteArray(bytes, qsizetype(size));
    } else {
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        if (gsf_input_read(child, size_t(size), reinterpret_cast<guint8*>(bytes.data())))
            result = std::move(bytes);
        else
            why = QStringLiteral("its sectors cannot be read");
    }
    if (result)
        m_budget -= size;
    g_object_unref(child);
    if (!result && !m_damaged) {
        m_damaged = true;
        m_error = QStringLiteral("damaged stream \"%1\": %2").arg(name, why);
    }
    return result;
}

QByteArray CompoundReader::classId() const
{
    if (!m_root)
        return {};
    guint8 clsid[16] = {};
    if (!gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(m_root.get()), clsid))
        return {};
    return QByteArray(reinterpret_cast<const char*>(clsid), 16);
}

} // namespace kestrel::platform::msg
