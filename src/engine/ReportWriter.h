#pragma once

// Writes a run's report as CSV or JSON: a header row (CSV) and one row per
// item, the same columns and texts in both. The file appears whole at
// commit(), or not at all.

#include "ReportRow.h"

#include <QSaveFile>
#include <QString>

#include <optional>

namespace kestrel::engine {

class RunReport;

enum class ReportFormat { Csv, Json };

// By the file name's ending (".csv", ".json", any letter case); nullopt for
// any other.
std::optional<ReportFormat> reportFormatFor(const QString& path);

class ReportWriter {
public:
    ReportWriter(const QString& path, ReportFormat format);

    // Each returns false once writing failed; lastError() says why.
    bool open();
    bool write(const ReportRow& row);
    bool commit();
    // open(), every row of report, commit(). A row that cannot be read back
    // fails the whole file.
    bool writeAll(const RunReport& report);

    QString lastError() const { return m_lastError; }

private:
    bool put(const QByteArray& bytes);
    bool fail(const QString& error);

    QSaveFile m_file;
    ReportFormat m_format;
    qint64 m_rows = 0;
    bool m_failed = false;
    QString m_lastError;
};

} // namespace kestrel::engine
