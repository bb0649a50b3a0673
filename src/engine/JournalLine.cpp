#include "JournalLine.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <array>

namespace kestrel::engine {

namespace {

struct OutcomeWord {
    ReportOutcome outcome;
    const char* word;
};

constexpr std::array<OutcomeWord, 7> kOutcomeWords{{
    {ReportOutcome::Moved, "moved"},
    {ReportOutcome::Copied, "copied"},
    {ReportOutcome::Deleted, "deleted"},
    {ReportOutcome::Exported, "exported"},
    {ReportOutcome::Skipped, "skipped"},
    {ReportOutcome::AlreadyGone, "already gone"},
    {ReportOutcome::Failed, "failed"},
}};

void putText(QJsonObject& line, const char* key, const QString& value)
{
    if (!value.isEmpty())
        line.insert(QLatin1String(key), value);
}

} // namespace

bool IsJournalled(ReportOutcome outcome)
{
    for (const OutcomeWord& word : kOutcomeWords) {
        if (word.outcome == outcome)
            return true;
    }
    return false;
}

FileFingerprint FingerprintOf(const QString& path)
{
    FileFingerprint print;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return print;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return print;
    const QFileInfo info(file);
    print.size = info.size();
    print.modified = info.lastModified().toMSecsSinceEpoch();
    print.hash = hash.result().toHex();
    return print;
}

QJsonObject JournalLine(const ItemReport& report)
{
    QJsonObject line;
    for (const OutcomeWord& word : kOutcomeWords) {
        if (word.outcome == report.outcome)
            line.insert(QStringLiteral("outcome"), QLatin1String(word.word));
    }
    putText(line, "folder", report.folderPath);
    putText(line, "subject", report.subject);
    putText(line, "source", report.sourceId);
    putText(line, "sourceFolder", report.sourceFolderId);
    putText(line, "destination", report.destinationId);
    putText(line, "destinationFolder", report.destinationFolderId);
    putText(line, "file", report.file);
    putText(line, "messageId", report.messageId);
    putText(line, "error", report.reason);
    if (report.size >= 0)
        line.insert(QStringLiteral("size"), report.size);
    if (report.outcome == ReportOutcome::Exported) {
        const FileFingerprint print = FingerprintOf(report.file);
        if (print.size >= 0) {
            line.insert(QStringLiteral("fileSize"), print.size);
            line.insert(QStringLiteral("fileModified"), print.modified);
            line.insert(QStringLiteral("fileHash"), QString::fromLatin1(print.hash));
        }
    }
    return line;
}

std::optional<JournalAction> JournalActionFrom(const QJsonObject& line)
{
    const QString word = line.value(QStringLiteral("outcome")).toString();
    JournalAction action;
    bool known = false;
    for (const OutcomeWord& outcome : kOutcomeWords) {
        if (word == QLatin1String(outcome.word)) {
            action.outcome = outcome.outcome;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    const auto text = [&](const char* key) { return line.value(QLatin1String(key)).toString(); };
    const auto number = [&](const char* key) {
        return line.value(QLatin1String(key)).toInteger(-1);
    };
    action.folderPath = text("folder");
    action.subject = text("subject");
    action.sourceId = text("source");
    action.sourceFolderId = text("sourceFolder");
    action.destinationId = text("destination");
    action.destinationFolderId = text("destinationFolder");
    action.file = text("file");
    action.messageId = text("messageId");
    action.error = text("error");
    action.size = number("size");
    action.fileSize = number("fileSize");
    action.fileModified = number("fileModified");
    action.fileHash = text("fileHash").toLatin1();
    return action;
}

} // namespace kestrel::engine
