// The report kept in a file, its table model and its CSV and JSON files.

#include "engine/RunReport.h"

#include "ScopedMount.h"
#include "TempDir.h"
#include "engine/ReportModel.h"
#include "engine/ReportWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace kestrel::engine;
using kestrel::test::ScopedMount;
using kestrel::test::TempDir;

namespace {

ReportRow row(ReportOutcome outcome, const QString& subject, const QString& reason = {},
              const QString& file = {})
{
    ReportRow r;
    r.folderPath = QStringLiteral("\\\\Personal Folders\\Inbox");
    r.subject = subject;
    r.sender = QStringLiteral("Ann <ann@example.org>");
    r.judgedBy = QDateTime(QDate(2020, 3, 4), QTime(5, 6, 7));
    r.outcome = outcome;
    r.reason = reason;
    r.file = file;
    return r;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

QStringList shownSubjects(const ReportModel& model)
{
    QStringList subjects;
    for (int r = 0; r < model.rowCount(); ++r)
        subjects << model.index(r, int(ReportColumn::Subject)).data().toString();
    return subjects;
}

} // namespace

TEST(RunReport, RowsComeBackWholeByIndexAndInPiecesWithCountsPerOutcome)
{
    RunReport report;
    // A row longer than a read piece, empty texts, no date, non-ASCII.
    ReportRow longRow = row(ReportOutcome::Failed, QString(700000, QChar(0x00e9)), "disk full");
    ReportRow bare;
    bare.outcome = ReportOutcome::AlreadyGone;
    const QList<ReportRow> rows = {row(ReportOutcome::Moved, "first"), longRow, bare,
                                   row(ReportOutcome::Skipped, "later", kSkippedUnread),
                                   row(ReportOutcome::Moved, "last \xe2\x9c\x93")};
    for (int round = 0; round < 3; ++round)
        for (const ReportRow& r : rows)
            ASSERT_TRUE(report.append(r));

    ASSERT_EQ(report.rowCount(), 15);
    // Reads between writes do not disturb the next write.
    EXPECT_EQ(report.row(1), longRow);
    ASSERT_TRUE(report.append(rows[0]));
    EXPECT_EQ(report.row(15), rows[0]);
    EXPECT_EQ(report.row(12), bare);
    EXPECT_FALSE(report.row(16));

    QList<ReportRow> scanned;
    EXPECT_TRUE(report.scan([&](qsizetype i, const ReportRow& r) {
        EXPECT_EQ(i, scanned.size());
        scanned << r;
        return true;
    }));
    ASSERT_EQ(scanned.size(), 16);
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(scanned[i], rows[i % 5]) << i;
    EXPECT_EQ(report.count(ReportOutcome::Moved), 7);
    EXPECT_EQ(report.count(ReportOutcome::Failed), 3);
    EXPECT_EQ(report.count(ReportOutcome::Copied), 0);
    EXPECT_EQ(report.lostRows(), 0);
}

TEST(ReportWriter, CsvAndJsonHoldTheSameRowsExactly)
{
    RunReport report;
    ReportRow exported = row(ReportOutcome::Exported, "Quote \"this\", please", {},
                             "/home/ann/Archive/Inbox/202003040506 Quote.msg");
    exported.sender = QStringLiteral("Jörg, B.");
    ReportRow skipped = row(ReportOutcome::Skipped, "two\r\nlines", kSkippedNoArchive);
    skipped.judgedBy = {};
    ASSERT_TRUE(report.append(exported));
    ASSERT_TRUE(report.append(skipped));
    ASSERT_TRUE(report.append(row(ReportOutcome::Failed, "x", "The folder is read-only.")));
    ASSERT_TRUE(report.append(row(ReportOutcome::WouldCopy, "y")));

    const TempDir dir;
    ReportWriter csv(dir.filePath("report.CSV"), *reportFormatFor("report.CSV"));
    ASSERT_TRUE(csv.writeAll(report)) << csv.lastError().toStdString();
    const QByteArray folder = "\\\\Personal Folders\\Inbox";
    EXPECT_EQ(readAll(dir.filePath("report.CSV")),
              "folder,subject,sender,date,outcome,file\r\n" + folder +
                  ",\"Quote \"\"this\"\", please\",\"J\xc3\xb6rg, B.\",2020-03-04 05:06:07,"
                  "exported,/home/ann/Archive/Inbox/202003040506 Quote.msg\r\n" +
                  folder + ",\"two\r\nlines\",Ann <ann@example.org>,,skipped: No Archive,\r\n" +
                  folder +
                  ",x,Ann <ann@example.org>,2020-03-04 05:06:07,failed: The folder is "
                  "read-only.,\r\n" +
                  folder + ",y,Ann <ann@example.org>,2020-03-04 05:06:07,would copy,\r\n");

    ReportWriter json(dir.filePath("report.json"), *reportFormatFor("report.json"));
    ASSERT_TRUE(json.writeAll(report));
    const QByteArray text = readAll(dir.filePath("report.json"));
    EXPECT_EQ(
        text.sliced(text.lastIndexOf("\n{")),
        "\n{\"folder\":\"" + QByteArray(folder).replace("\\", "\\\\") +
            "\",\"subject\":\"y\",\"sender\":\"Ann <ann@example.org>\","
            "\"date\":\"2020-03-04 05:06:07\",\"outcome\":\"would copy\",\"file\":\"\"}\n]\n");
    const QJsonArray array = QJsonDocument::fromJson(text).array();
    ASSERT_EQ(array.size(), 4);
    EXPECT_EQ(array[0].toObject()["subject"].toString(), exported.subject);
    EXPECT_EQ(array[1].toObject()["outcome"].toString(), "skipped: No Archive");
    EXPECT_EQ(array[1].toObject()["date"].toString(), "");
    EXPECT_EQ(array[2].toObject()["outcome"].toString(), "failed: The folder is read-only.");

    // No rows: a header alone, an empty array.
    RunReport empty;
    ReportWriter emptyJson(dir.filePath("empty.json"), ReportFormat::Json);
    ASSERT_TRUE(emptyJson.writeAll(empty));
    EXPECT_EQ(readAll(dir.filePath("empty.json")), "[]\n");
    EXPECT_FALSE(reportFormatFor("report.txt"));
}

TEST(ReportWriter, AFileThatCannotBeWrittenFailsWithItsReasonAndLeavesNothing)
{
    RunReport report;
    ASSERT_TRUE(report.append(row(ReportOutcome::Moved, "a")));
    const TempDir dir;
    const QString path = dir.filePath("missing/report.csv");
    ReportWriter writer(path, ReportFormat::Csv);
    EXPECT_FALSE(writer.writeAll(report));
    EXPECT_FALSE(writer.lastError().isEmpty());
    EXPECT_FALSE(QFile::exists(path));

    const TempDir small;
    const ScopedMount full = ScopedMount::smallDisk(small.path(), 64);
    if (!full.mounted())
        GTEST_SKIP() << "needs root for a tmpfs mount";
    ReportWriter onFullDisk(small.filePath("report.json"), ReportFormat::Json);
    ASSERT_TRUE(onFullDisk.open());
    for (int i = 0; i < 1000; ++i)
        onFullDisk.write(row(ReportOutcome::Moved, QString(100, 'x')));
    EXPECT_FALSE(onFullDisk.commit());
    EXPECT_FALSE(onFullDisk.lastError().isEmpty());
    EXPECT_EQ(QDir(small.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST(ReportModel, FiltersByOutcomeAndTextAndSortsStablyByTextAndDate)
{
    auto report = std::make_shared<RunReport>();
    ReportRow early = row(ReportOutcome::Moved, "Item 10");
    early.judgedBy = early.judgedBy.addYears(-1);
    ASSERT_TRUE(report->append(row(ReportOutcome::Moved, "item 2")));
    ASSERT_TRUE(report->append(early));
    ASSERT_TRUE(report->append(row(ReportOutcome::Skipped, "Item 1", kSkippedUnread)));
    ASSERT_TRUE(report->append(row(ReportOutcome::Failed, "b", "Permission denied")));
    ASSERT_TRUE(report->append(row(ReportOutcome::Moved, "a")));
    ReportModel model(report);
    EXPECT_EQ(shownSubjects(model), QStringList({"item 2", "Item 10", "Item 1", "b", "a"}));

    model.sort(int(ReportColumn::Subject), Qt::AscendingOrder);
    EXPECT_EQ(shownSubjects(model), QStringList({"a", "b", "Item 1", "item 2", "Item 10"}));
    model.sort(int(ReportColumn::Date), Qt::AscendingOrder);
    EXPECT_EQ(shownSubjects(model), QStringList({"Item 10", "item 2", "Item 1", "b", "a"}));
    model.sort(int(ReportColumn::Date), Qt::DescendingOrder);
    EXPECT_EQ(shownSubjects(model).constLast(), "Item 10");

    model.setOutcomeFilter(ReportOutcome::Moved);
    EXPECT_EQ(shownSubjects(model), QStringList({"item 2", "a", "Item 10"}));
    model.setSearchText("ITEM");
    EXPECT_EQ(shownSubjects(model), QStringList({"item 2", "Item 10"}));
    model.setOutcomeFilter(std::nullopt);
    model.setSearchText("denied"); // the reason, in the outcome column
    EXPECT_EQ(shownSubjects(model), QStringList({"b"}));
    EXPECT_EQ(model.index(0, int(ReportColumn::Outcome)).data().toString(),
              "failed: Permission denied");
    EXPECT_EQ(model.reportRow(0), 3);
}
