#include "CompoundWriter.h"

#include "DirectoryBalancer.h"
#include "GLibLogCapture.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include <mutex>

namespace kestrel::platform::msg {

namespace {

// libgsf's 4096-byte mode corrupts larger files; 64-byte mini sectors go with 512.
constexpr guint BigBlockSize = 512;
constexpr guint SmallBlockSize = 64;
constexpr int MaxNameLength = 31;

void initGsf()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

// Entry names compare without case. Ours are ASCII, where this is
// QString::toUpper at a fraction of its cost.
QString upperName(const QString& name)
{
    QString upper = name;
    for (QChar& c : upper) {
        const char16_t u = c.unicode();
        if (u >= 0x80)
            return name.toUpper();
        if (u >= 'a' && u <= 'z')
            c = QChar(char16_t(u - ('a' - 'A')));
    }
    return upper;
}

QString gsfErrorText(GsfOutput* output)
{
    const GError* err = output ? gsf_output_error(output) : nullptr;
    return err && err->message ? QString::fromUtf8(err->message) : QString();
}

} // namespace

CompoundWriter::CompoundWriter()
{
    initGsf();
    GLibLogCapture log;
    m_sink = gsf_output_memory_new();
    GsfOutfile* root =
        m_sink ? gsf_outfile_msole_new_full(m_sink, BigBlockSize, SmallBlockSize) : nullptr;
    if (!root) {
        fail(QStringLiteral("cannot create a compound file") +
             (log.isEmpty() ? QString() : QStringLiteral(": ") + log.text()));
        return;
    }
    m_stack.push_back({root, {}});
}

CompoundWriter::~CompoundWriter()
{
    GLibLogCapture log; // a forced close of a failed file may complain
    closeAll();
    if (m_sink)
        g_object_unref(m_sink);
}

bool CompoundWriter::fail(const QString& text)
{
    if (!m_failed)
        m_error = text;
    m_failed = true;
    return false;
}

bool CompoundWriter::claimName(const QString& name)
{
    if (name.isEmpty() || name.size() > MaxNameLength)
        return fail(QStringLiteral("bad compound file entry name \"%1\"").arg(name));
    if (m_stack.empty())
        return fail(QStringLiteral("compound file already closed"));
    QSet<QString>& names = m_stack.back().names;
    const qsizetype before = names.size();
    names.insert(upperName(name));
    if (names.size() == before)
        return fail(QStringLiteral("duplicate compound file entry \"%1\"").arg(name));
    return true;
}

bool CompoundWriter::setRootClassId(const QByteArray& clsid)
{
    if (m_failed)
        return false;
    if (clsid.size() != 16 || m_stack.size() != 1)
        return fail(QStringLiteral("class id must be 16 bytes and set on the root"));
    GLibLogCapture log;
    if (!gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(m_stack.front().storage),
                                        reinterpret_cast<const guint8*>(clsid.constData())))
        return fail(QStringLiteral("cannot set the class id: ") + log.text());
    return true;
}

GsfOutput* CompoundWriter::newChild(const QString& name, bool storage)
{
    if (m_failed || !claimName(name))
        return nullptr;
    GLibLogCapture log;
    GsfOutput* child =
        gsf_outfile_new_child(m_stack.back().storage, name.toUtf8().constData(), storage);
    if (!child)
        fail(QStringLiteral("cannot create \"%1\": %2").arg(name, log.text()));
    return child;
}

bool CompoundWriter::beginStorage(const QString& name)
{
    GsfOutput* child = newChild(name, true);
    if (!child)
        return false;
    m_stack.push_back({GSF_OUTFILE(child), {}});
    return true;
}

bool CompoundWriter::endStorage()
{
    if (m_failed)
        return false;
    if (m_stack.size() < 2)
        return fail(QStringLiteral("no storage open"));
    GLibLogCapture log;
    GsfOutput* storage = GSF_OUTPUT(m_stack.back().storage);
    m_stack.pop_back();
    const bool closed = gsf_output_close(storage);
    const QString why = gsfErrorText(storage);
    g_object_unref(storage);
    if (!closed)
        return fail(QStringLiteral("cannot close a storage: ") + why + log.text());
    return true;
}

bool CompoundWriter::writeStream(const QString& name, const QByteArray& data)
{
    GsfOutput* stream = newChild(name, false);
    if (!stream)
        return false;
    GLibLogCapture log;
    bool ok = data.isEmpty() || gsf_output_write(stream, gsize(data.size()),
                                                 reinterpret_cast<const guint8*>(data.constData()));
    QString why = gsfErrorText(stream);
    ok = gsf_output_close(stream) && ok;
    if (why.isEmpty())
        why = gsfErrorText(stream);
    g_object_unref(stream);
    if (!ok || !log.isEmpty())
        return fail(QStringLiteral("cannot write stream \"%1\": %2%3").arg(name, why, log.text()));
    return true;
}

void CompoundWriter::closeAll()
{
    while (!m_stack.empty()) {
        GsfOutput* storage = GSF_OUTPUT(m_stack.back().storage);
        m_stack.pop_back();
        if (!gsf_output_is_closed(storage))
            gsf_output_close(storage);
        g_object_unref(storage);
    }
}

std::optional<QByteArray> CompoundWriter::finish()
{
    if (m_finished)
        return std::nullopt;
    m_finished = true;
    if (m_failed)
        return std::nullopt;
    if (m_stack.size() != 1) {
        fail(QStringLiteral("a storage was left open"));
        return std::nullopt;
    }
    GLibLogCapture log;
    GsfOutput* root = GSF_OUTPUT(m_stack.back().storage);
    m_stack.pop_back();
    bool ok = gsf_output_close(root);
    QString why = gsfErrorText(root) + gsfErrorText(m_sink);
    g_object_unref(root);
    if (!gsf_output_is_closed(m_sink))
        ok = gsf_output_close(m_sink) && ok;
    // libgsf reports some failures only as warnings while closing with success.
    if (!ok || !why.isEmpty() || !log.isEmpty()) {
        fail(QStringLiteral("cannot finish the compound file: ") + why + log.text());
        return std::nullopt;
    }
    GsfOutputMemory* memory = GSF_OUTPUT_MEMORY(m_sink);
    const gsf_off_t size = gsf_output_size(m_sink);
    const guint8* bytes = gsf_output_memory_get_bytes(memory);
    if (size <= 0 || !bytes) {
        fail(QStringLiteral("compound file came out empty"));
        return std::nullopt;
    }
    QByteArray file(reinterpret_cast<const char*>(bytes), qsizetype(size));
    if (!balanceDirectory(file)) {
        fail(QStringLiteral("cannot balance the compound file directory"));
        return std::nullopt;
    }
    return file;
}

} // namespace kestrel::platform::msg
