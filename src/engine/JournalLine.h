#pragma once

// One action of a journal as a JSON line and back.

#include "ItemReport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace kestrel::engine {

struct JournalAction {
    ReportOutcome outcome = ReportOutcome::Failed;
    QString folderPath;
    QString subject;
    QString sourceId;
    QString sourceFolderId;
    QString destinationId;
    QString destinationFolderId;
    QString file;
    QString messageId;
    QString error;
    qint64 size = -1;
    // The .msg file as the run left it, to tell a file edited since.
    qint64 fileSize = -1;
    qint64 fileModified = -1; // ms since the epoch
    QByteArray fileHash;      // SHA-256, hex
};

// Whether an outcome can be a journal's line: what a Start or an undo did,
// not what a preview would do.
bool IsJournalled(ReportOutcome outcome);

// The report's line, a compact JSON object without the line end; the file it
// names (if any) is read for its size, time and hash.
QByteArray JournalLine(const ItemReport& report);
// nullopt when the object is no action line.
std::optional<JournalAction> JournalActionFrom(const QJsonObject& line);

// What the file at path is now; fileSize -1 when there is none.
struct FileFingerprint {
    qint64 size = -1;
    qint64 modified = -1;
    QByteArray hash;
};
FileFingerprint FingerprintOf(const QString& path);

} // namespace kestrel::engine
