#include "RunReport.h"

#include <QDataStream>
#include <QDir>
#include <QStandardPaths>

#include <limits>

namespace kestrel::engine {

namespace {

constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();

// Texts as UTF-8: half the bytes of QDataStream's UTF-16 for most mail.
void writeText(QDataStream& out, const QString& text)
{
    out << text.toUtf8();
}

QString readText(QDataStream& in)
{
    QByteArray bytes;
    in >> bytes;
    return QString::fromUtf8(bytes);
}

std::optional<ReportRow> decode(const char* data, qint64 length)
{
    QDataStream in(QByteArray::fromRawData(data, qsizetype(length)));
    quint8 outcome = 0;
    qint64 date = kNoDate;
    in >> outcome >> date;
    ReportRow row;
    row.outcome = ReportOutcome(outcome);
    if (date != kNoDate)
        row.judgedBy = QDateTime::fromMSecsSinceEpoch(date);
    row.folderPath = readText(in);
    row.subject = readText(in);
    row.sender = readText(in);
    row.reason = readText(in);
    row.file = readText(in);
    if (in.status() != QDataStream::Ok || outcome >= kReportOutcomeCount)
        return std::nullopt;
    return row;
}

constexpr qint64 kScanPiece = 1 << 20;

// The user's cache rather than /tmp, which is often a RAM disk: a large
// report would then cost memory after all.
QString reportFileTemplate()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QString dir = cache.isEmpty() ? QString() : cache + QStringLiteral("/reports");
    if (dir.isEmpty() || !QDir().mkpath(dir))
        dir = QDir::tempPath();
    return dir + QStringLiteral("/report-XXXXXX");
}

} // namespace

RunReport::RunReport() : m_file(reportFileTemplate())
{
    m_open = m_file.open();
    if (!m_open)
        m_lastError = m_file.errorString();
}

bool RunReport::append(const ReportRow& row)
{
    if (!m_open) {
        ++m_lost;
        return false;
    }
    QByteArray record;
    {
        QDataStream out(&record, QIODevice::WriteOnly);
        out << quint8(row.outcome)
            << (row.judgedBy.isValid() ? row.judgedBy.toMSecsSinceEpoch() : kNoDate);
        for (const QString* text :
             {&row.folderPath, &row.subject, &row.sender, &row.reason, &row.file})
            writeText(out, *text);
    }
    if (m_file.pos() != m_end && !m_file.seek(m_end))
        return fail(m_file.errorString());
    if (m_file.write(record) != record.size())
        return fail(m_file.errorString());
    m_offsets.push_back(m_end);
    m_end += record.size();
    m_outcomes.push_back(quint8(row.outcome));
    ++m_counts[std::size_t(row.outcome)];
    return true;
}

std::optional<ReportRow> RunReport::row(qsizetype index) const
{
    if (index < 0 || index >= rowCount())
        return std::nullopt;
    const qint64 start = m_offsets[std::size_t(index)];
    const qint64 end = index + 1 < rowCount() ? m_offsets[std::size_t(index) + 1] : m_end;
    QByteArray record;
    if (!readAt(start, end - start, record))
        return std::nullopt;
    return decode(record.constData(), record.size());
}

bool RunReport::scan(const std::function<bool(qsizetype, const ReportRow&)>& visit) const
{
    qsizetype index = 0;
    while (index < rowCount()) {
        // A piece of whole rows; at least one, however long.
        const qint64 start = m_offsets[std::size_t(index)];
        qsizetype last = index + 1;
        while (last < rowCount() && m_offsets[std::size_t(last)] - start < kScanPiece)
            ++last;
        const qint64 end = last < rowCount() ? m_offsets[std::size_t(last)] : m_end;
        QByteArray piece;
        if (!readAt(start, end - start, piece))
            return false;
        for (; index < last; ++index) {
            const qint64 from = m_offsets[std::size_t(index)] - start;
            const qint64 to =
                index + 1 < rowCount() ? m_offsets[std::size_t(index) + 1] - start : end - start;
            const std::optional<ReportRow> row = decode(piece.constData() + from, to - from);
            if (!row) {
                m_lastError = QStringLiteral("The report's row %1 cannot be read.").arg(index + 1);
                return false;
            }
            if (!visit(index, *row))
                return true;
        }
    }
    return true;
}

bool RunReport::readAt(qint64 start, qint64 length, QByteArray& bytes) const
{
    if (!m_file.flush() || !m_file.seek(start)) {
        m_lastError = m_file.errorString();
        return false;
    }
    bytes = m_file.read(length);
    if (bytes.size() != length) {
        m_lastError = m_file.errorString();
        return false;
    }
    return true;
}

bool RunReport::fail(const QString& error)
{
    // A row half written is cut off by the next one's seek to m_end.
    ++m_lost;
    m_lastError = error;
    return false;
}

} // namespace kestrel::engine
