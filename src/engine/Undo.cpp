#include "Undo.h"

#include "ItemReport.h"
#include "JournalReader.h"
#include "StoreFolderPath.h"
#include "platform/MailPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kestrel::engine {

namespace {

QString headerText(const QJsonObject& header, const char* key)
{
    return header.value(QLatin1String(key)).toString();
}

ItemReport skipped(ItemReport report, const QString& reason)
{
    report.outcome = ReportOutcome::Skipped;
    report.reason = reason;
    return report;
}

ItemReport failed(ItemReport report, const QString& reason)
{
    report.outcome = ReportOutcome::Failed;
    report.reason = reason;
    return report;
}

const QString& notWhereRunPutIt()
{
    static const QString text = QStringLiteral("the message is no longer where the run put it");
    return text;
}

} // namespace

Undo::Undo(platform::Session& session) : m_session(session) {}

bool Undo::undoRun(const QString& runJournal, const QString& directory, int kept)
{
    m_counts = {};
    m_journalPath.clear();
    m_lastError.clear();
    JournalReader reader;
    if (!reader.open(runJournal)) {
        m_lastError = reader.lastError();
        return false;
    }
    if (reader.isUndo()) {
        m_lastError = QStringLiteral("An undo cannot be undone in turn");
        return false;
    }
    m_run = reader.header();

    QJsonObject header;
    header.insert(QLatin1String(journal::kKind), QLatin1String(journal::kUndo));
    header.insert(QLatin1String(journal::kUndoes), QFileInfo(runJournal).fileName());
    JournalWriter journal(true);
    if (!journal.open(directory, header, kept)) {
        m_lastError = journal.lastError();
        return false;
    }
    m_journalPath = journal.path();

    while (const std::optional<JournalAction> action = reader.next()) {
        if (action->outcome == ReportOutcome::Failed ||
            action->outcome == ReportOutcome::AlreadyGone ||
            action->outcome == ReportOutcome::Skipped)
            continue; // the run did nothing to it
        const ItemReport report = undoAction(*action);
        switch (report.outcome) {
        case ReportOutcome::Skipped:
            ++m_counts.skipped;
            break;
        case ReportOutcome::Failed:
            ++m_counts.failed;
            break;
        default:
            ++m_counts.undone;
            break;
        }
        journal.ItemDone(report);
        // An undo's actions are few and each one matters: in the file before
        // the next begins.
        journal.flush();
        if (m_sink)
            m_sink->ItemDone(report);
    }

    QJsonObject end;
    end.insert(QStringLiteral("undone"), m_counts.undone);
    end.insert(QStringLiteral("skipped"), m_counts.skipped);
    end.insert(QStringLiteral("failed"), m_counts.failed);
    end.insert(QStringLiteral("runEnded"), reader.ended());
    const bool written = journal.finish(end);
    if (!reader.lastError().isEmpty())
        m_lastError = reader.lastError();
    else if (!written)
        m_lastError = journal.lastError();
    return m_lastError.isEmpty();
}

ItemReport Undo::undoAction(const JournalAction& action)
{
    ItemReport report;
    report.folderPath = action.folderPath;
    report.subject = action.subject;
    report.messageId = action.messageId;
    report.size = action.size;
    if (m_run.value(QLatin1String(journal::kSourceIsDisk)).toBool())
        return undoDiskSource(action, std::move(report));
    switch (action.outcome) {
    case ReportOutcome::Exported:
        return undoExport(action, std::move(report));
    case ReportOutcome::Moved:
    case ReportOutcome::Deleted:
        return undoStoreMove(action, std::move(report));
    case ReportOutcome::Copied:
        return undoStoreCopy(action, std::move(report));
    default:
        return skipped(std::move(report), QStringLiteral("nothing to undo"));
    }
}

std::unique_ptr<platform::Folder> Undo::originalFolder(const JournalAction& action,
                                                       ItemReport& report)
{
    std::unique_ptr<platform::Folder> folder =
        action.sourceFolderId.isEmpty() ? nullptr
                                        : m_session.getFolderFromId(action.sourceFolderId);
    if (!folder)
        report = skipped(std::move(report), QStringLiteral("its original folder is gone"));
    return folder;
}

ItemReport Undo::undoStoreMove(const JournalAction& action, ItemReport report)
{
    if (action.destinationId.isEmpty())
        return skipped(std::move(report),
                       action.outcome == ReportOutcome::Deleted
                           ? QStringLiteral("the message was deleted for good")
                           : QStringLiteral("where the message went was not recorded"));
    std::unique_ptr<platform::MailItem> item = m_session.getMessageFromId(action.destinationId);
    if (!item)
        return skipped(std::move(report), notWhereRunPutIt());
    const std::unique_ptr<platform::Folder> folder = originalFolder(action, report);
    if (!folder)
        return report;
    const std::unique_ptr<platform::MailItem> moved = item->move(*folder);
    if (!moved)
        return failed(std::move(report), item->lastError().text);
    report.outcome = ReportOutcome::Moved;
    report.sourceId = action.destinationId;
    report.sourceFolderId = action.destinationFolderId;
    report.destinationId = moved->entryId().value_or(QString());
    report.destinationFolderId = action.sourceFolderId;
    return report;
}

bool Undo::originalIsThere(const JournalAction& action)
{
    if (action.sourceId.isEmpty())
        return false;
    const std::unique_ptr<platform::MailItem> original =
        m_session.getMessageFromId(action.sourceId);
    if (!original)
        return false;
    const std::optional<qint64> size = original->size();
    return action.size < 0 || !size || *size == action.size;
}

ItemReport Undo::undoStoreCopy(const JournalAction& action, ItemReport report)
{
    const std::unique_ptr<platform::MailItem> copy =
        action.destinationId.isEmpty() ? nullptr : m_session.getMessageFromId(action.destinationId);
    if (!copy)
        return skipped(std::move(report),
                       QStringLiteral("the copy is no longer where the run put it"));
    // Never the last copy of a message: its original must still be there.
    if (!originalIsThere(action))
        return skipped(std::move(report),
                       QStringLiteral("the original is no longer where it was, so the copy may be "
                                      "the only one left"));
    if (!copy->deletePermanently())
        return failed(std::move(report), copy->lastError().text);
    report.outcome = ReportOutcome::Deleted;
    report.sourceId = action.destinationId;
    report.sourceFolderId = action.destinationFolderId;
    return report;
}

ItemReport Undo::undoExport(const JournalAction& action, ItemReport report)
{
    report.file = action.file;
    const FileFingerprint now = FingerprintOf(action.file);
    if (now.size < 0)
        return skipped(std::move(report), QStringLiteral("the file is gone"));
    if (action.fileHash.isEmpty() || now.hash != action.fileHash || now.size != action.fileSize ||
        now.modified != action.fileModified)
        return skipped(std::move(report), QStringLiteral("the file was changed since the run"));

    if (headerText(m_run, journal::kAction) == QLatin1String("copy")) {
        if (!originalIsThere(action))
            return skipped(std::move(report),
                           QStringLiteral("the original is no longer where it was, so the file "
                                          "may be the only copy left"));
        if (!QFile::remove(action.file))
            return failed(std::move(report), QStringLiteral("the file cannot be removed"));
        report.outcome = ReportOutcome::Deleted;
        report.sourceId = action.file;
        return report;
    }

    const std::unique_ptr<platform::Folder> folder = originalFolder(action, report);
    if (!folder)
        return report;
    const std::unique_ptr<platform::MailItem> item = ImportMsgFile(action.file, folder.get());
    if (!item)
        return failed(std::move(report), QStringLiteral("the file cannot be read as a message"));
    if (!item->save())
        return failed(std::move(report), item->lastError().text);
    report.outcome = ReportOutcome::Moved;
    report.sourceId = action.file;
    report.destinationId = item->entryId().value_or(QString());
    report.destinationFolderId = action.sourceFolderId;
    // The message is back in its folder; a file that stays is a spare copy.
    if (!QFile::remove(action.file))
        report.reason = QStringLiteral("the file cannot be removed");
    return report;
}

ItemReport Undo::undoDiskSource(const JournalAction& action, ItemReport report)
{
    const QString file = action.sourceId;
    report.file = file;
    const std::unique_ptr<platform::MailItem> item =
        action.destinationId.isEmpty() ? nullptr : m_session.getMessageFromId(action.destinationId);
    if (!item)
        return skipped(std::move(report), notWhereRunPutIt());
    report.sourceId = action.destinationId;
    report.sourceFolderId = action.destinationFolderId;

    if (headerText(m_run, journal::kAction) == QLatin1String("copy")) {
        if (file.isEmpty() || !QFileInfo::exists(file))
            return skipped(std::move(report),
                           QStringLiteral("the original file is gone, so the message may be the "
                                          "only copy left"));
        if (!item->deletePermanently())
            return failed(std::move(report), item->lastError().text);
        report.outcome = ReportOutcome::Deleted;
        return report;
    }

    if (file.isEmpty())
        return skipped(std::move(report), QStringLiteral("the file's place was not recorded"));
    if (QFileInfo::exists(file))
        return skipped(std::move(report), QStringLiteral("a file is at the message's old place"));
    if (!QDir().mkpath(QFileInfo(file).absolutePath()) || !item->saveAs(file, platform::kMsgFormat))
        return failed(std::move(report), item->lastError().text);
    if (!item->deletePermanently())
        return failed(std::move(report),
                      QStringLiteral("the file was written back but the message cannot be "
                                     "removed: ") +
                          item->lastError().text);
    report.outcome = ReportOutcome::Exported;
    return report;
}

} // namespace kestrel::engine
