#include "Journal.h"

#include "ItemReport.h"
#include "JournalLine.h"
#include "TaskRunner.h"
#include "TaskSettings.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kestrel::engine {

namespace {

const char* actionWord(int action)
{
    switch (action) {
    case 0:
        return "move";
    case 1:
        return "copy";
    case 2:
        return "delete";
    default:
        return "";
    }
}

const char* dateFieldWord(int dateBase)
{
    static constexpr const char* kWords[] = {"received", "sent", "modified", "created", "any"};
    return dateBase >= 0 && dateBase < 5 ? kWords[dateBase] : "any";
}

QString folderPathOf(platform::Folder* folder)
{
    return folder ? folder->folderPath().value_or(QString()) : QString();
}

const QString kNameTime = QStringLiteral("yyyyMMdd-HHmmss-zzz");

// Sortable by time to the millisecond, and after every journal already in
// the directory even within one millisecond; the random part tells apart two
// programs' runs of one millisecond.
QString newJournalName(const QDir& directory)
{
    QDateTime stamp = QDateTime::currentDateTimeUtc();
    const QStringList names =
        directory.entryList({QStringLiteral("*.jsonl")}, QDir::Files, QDir::Name | QDir::Reversed);
    if (!names.isEmpty()) {
        QDateTime newest = QDateTime::fromString(names.first().left(kNameTime.size()), kNameTime);
        newest.setTimeSpec(Qt::UTC);
        if (newest.isValid() && newest >= stamp)
            stamp = newest.addMSecs(1);
    }
    return stamp.toString(kNameTime) + QLatin1Char('-') +
           QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0') +
           QStringLiteral(".jsonl");
}

void removeOldJournals(const QString& directory, int kept)
{
    QDir dir(directory);
    const QStringList names =
        dir.entryList({QStringLiteral("*.jsonl")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (qsizetype i = qMax(kept, 1); i < names.size(); ++i)
        dir.remove(names.at(i));
}

} // namespace

QString JournalDirectory()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/kestrel-mailkeep/runs");
}

QJsonObject RunHeader(const TaskSettings& settings, const QList<TaskFolder>& folders,
                      const QString& pattern)
{
    QJsonObject header;
    header.insert(QLatin1String(journal::kKind), QLatin1String(journal::kRun));
    header.insert(QLatin1String(journal::kAction), QLatin1String(actionWord(settings.Action)));
    header.insert(QLatin1String(journal::kSourceIsDisk), settings.SourceIsDisk);
    if (settings.SourceIsDisk) {
        header.insert(QStringLiteral("source"), settings.SourceDiskFolder);
    } else {
        header.insert(QStringLiteral("source"), folderPathOf(settings.SourceRoot.get()));
        QJsonArray ticked;
        for (const TaskFolder& folder : folders) {
            if (folder.checked)
                ticked.append(folder.path);
        }
        header.insert(QStringLiteral("folders"), ticked);
    }
    header.insert(QStringLiteral("dateField"), QLatin1String(dateFieldWord(settings.DateBase)));
    header.insert(QStringLiteral("from"), settings.StartDate.toString(Qt::ISODate));
    header.insert(QStringLiteral("to"), settings.EndDate.toString(Qt::ISODate));
    header.insert(QStringLiteral("includeUnread"), settings.IncludeUnread);
    header.insert(QStringLiteral("respectNoArchive"), settings.RespectNoArchive);
    header.insert(QLatin1String(journal::kDestinationIsDisk), settings.DestinationIsDisk);
    header.insert(QStringLiteral("destination"), settings.DestinationIsDisk
                                                     ? settings.DestinationPath
                                                     : folderPathOf(settings.ArchiveRoot.get()));
    if (settings.DestinationIsDisk)
        header.insert(QStringLiteral("pattern"), pattern);
    return header;
}

JournalWriter::~JournalWriter()
{
    if (m_file.isOpen()) {
        flush();
        stopSyncing();
        sync(); // a run that did not end: its lines stay, without the last one
    }
}

bool JournalWriter::open(const QString& directory, QJsonObject header, int kept)
{
    if (!QDir().mkpath(directory)) {
        m_lastError = QStringLiteral("Cannot create the folder of run journals ") + directory;
        return false;
    }
    // The name's random part makes a clash all but impossible; one is retried.
    for (int attempt = 0; attempt < 2 && !m_file.isOpen(); ++attempt) {
        m_file.setFileName(directory + QLatin1Char('/') + newJournalName(QDir(directory)));
        m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
    }
    if (!m_file.isOpen()) {
        m_lastError = QStringLiteral("Cannot create the run journal ") + m_file.fileName() +
                      QStringLiteral(": ") + m_file.errorString();
        return false;
    }
    header.insert(QStringLiteral("started"),
                  QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    if (!writeLine(header) || !sync()) {
        m_file.close();
        m_file.remove();
        return false;
    }
    removeOldJournals(directory, kept);
    m_syncer.emplace(m_file.handle());
    return true;
}

void JournalWriter::ItemDone(const ItemReport& report)
{
    if (!m_file.isOpen() || !IsJournalled(report.outcome) ||
        (report.outcome == ReportOutcome::Skipped && !m_withSkips))
        return;
    m_waiting += JournalLine(report);
    m_waiting += '\n';
    if (++m_waitingLines >= kWriteEvery)
        flush();
    if (++m_unsynced >= kSyncEvery && m_syncer) {
        flush();
        m_unsynced = 0;
        m_syncer->request();
    }
}

bool JournalWriter::flush()
{
    if (m_waiting.isEmpty())
        return true;
    const bool written = writeBytes(m_waiting);
    m_waiting.clear();
    m_waitingLines = 0;
    return written;
}

bool JournalWriter::finish(QJsonObject end)
{
    if (!m_file.isOpen())
        return false;
    end.insert(QLatin1String(journal::kKind), QLatin1String(journal::kEnd));
    end.insert(QStringLiteral("ended"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    const bool allWritten = flush();
    const bool synced = stopSyncing();
    const bool written = allWritten && writeLine(end) && sync() && synced;
    m_file.close();
    return written && m_lastError.isEmpty();
}

bool JournalWriter::writeLine(const QJsonObject& line)
{
    return writeBytes(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
}

bool JournalWriter::writeBytes(const QByteArray& bytes)
{
    // Whole lines in one write, unbuffered by Qt: a killed run loses at most
    // the lines still waiting, and at worst leaves the last one torn.
    if (m_file.write(bytes) == bytes.size())
        return true;
    m_lastError = QStringLiteral("Cannot write the run journal ") + m_file.fileName() +
                  QStringLiteral(": ") + m_file.errorString();
    return false;
}

bool JournalWriter::stopSyncing()
{
    if (!m_syncer)
        return true;
    const int error = m_syncer->wait();
    m_syncer.reset();
    return !error || syncFailed(error);
}

bool JournalWriter::sync()
{
    m_unsynced = 0;
    return ::fsync(m_file.handle()) == 0 || syncFailed(errno);
}

bool JournalWriter::syncFailed(int error)
{
    m_lastError = QStringLiteral("Cannot write the run journal ") + m_file.fileName() +
                  QStringLiteral(" to disk: ") + QString::fromLocal8Bit(strerror(error));
    return false;
}

} // namespace kestrel::engine
