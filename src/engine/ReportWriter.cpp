#include "ReportWriter.h"

#include "RunReport.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace kestrel::engine {

namespace {

// RFC 4180: a field with a separator, quote or line break is quoted, its
// quotes doubled.
QByteArray csvField(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') ||
        bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

QByteArray csvLine(const QStringList& fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += csvField(fields[i]);
    }
    return line + "\r\n";
}

QByteArray jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2); // without the brackets
}

QStringList headerFields()
{
    QStringList fields;
    for (int c = 0; c < kReportColumnCount; ++c)
        fields << reportColumnKey(ReportColumn(c));
    return fields;
}

} // namespace

std::optional<ReportFormat> reportFormatFor(const QString& path)
{
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return ReportFormat::Csv;
    if (path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        return ReportFormat::Json;
    return std::nullopt;
}

ReportWriter::ReportWriter(const QString& path, ReportFormat format)
    : m_file(path), m_format(format)
{
}

bool ReportWriter::open()
{
    if (!m_file.open(QIODevice::WriteOnly))
        return fail(m_file.errorString());
    return put(m_format == ReportFormat::Csv ? csvLine(headerFields()) : QByteArray("["));
}

bool ReportWriter::write(const ReportRow& row)
{
    if (m_failed)
        return false;
    if (m_format == ReportFormat::Csv) {
        QStringList fields;
        for (int c = 0; c < kReportColumnCount; ++c)
            fields << reportCellText(row, ReportColumn(c));
        return put(csvLine(fields));
    }
    // Keys in the columns' order, which a QJsonObject would sort.
    QByteArray object = m_rows++ == 0 ? QByteArray("\n{") : QByteArray(",\n{");
    for (int c = 0; c < kReportColumnCount; ++c) {
        if (c > 0)
            object += ',';
        object += jsonString(reportColumnKey(ReportColumn(c))) + ':' +
                  jsonString(reportCellText(row, ReportColumn(c)));
    }
    return put(object + '}');
}

bool ReportWriter::commit()
{
    if (m_failed)
        return false;
    if (m_format == ReportFormat::Json && !put(m_rows == 0 ? QByteArray("]\n") : "\n]\n"))
        return false;
    if (!m_file.commit())
        return fail(m_file.errorString());
    return true;
}

bool ReportWriter::writeAll(const RunReport& report)
{
    if (!open())
        return false;
    const bool read = report.scan([this](qsizetype, const ReportRow& row) { return write(row); });
    if (m_failed)
        return false;
    if (!read)
        return fail(report.lastError());
    return commit();
}

bool ReportWriter::put(const QByteArray& bytes)
{
    if (m_failed)
        return false;
    if (m_file.write(bytes) != bytes.size())
        return fail(m_file.errorString());
    return true;
}

bool ReportWriter::fail(const QString& error)
{
    m_failed = true;
    m_lastError = error;
    m_file.cancelWriting();
    return false;
}

} // namespace kestrel::engine
