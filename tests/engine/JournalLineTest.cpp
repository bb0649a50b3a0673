// A journal line must read back as the report it was written from, whatever
// the texts hold, and a journal that cannot be made durable must say so.

#include "engine/JournalLine.h"

#include "engine/FileSyncer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

using namespace kestrel::engine;

TEST(JournalLine, ReadsBackAsWrittenWhateverTheTextsHold)
{
    const QString awkward[] = {
        QStringLiteral("plain"),
        QStringLiteral("quote \" backslash \\ slash /"),
        QStringLiteral("controls \t\n\r\x01\x1f and \x7f"),
        QStringLiteral("caf\u00e9 \u65e5\u672c \U0001F600"),
        QString(QChar(0xDC80)) + QStringLiteral(" a byte that was not UTF-8"),
    };
    for (const QString& text : awkward) {
        SCOPED_TRACE(qPrintable(text));
        ItemReport report;
        report.outcome = ReportOutcome::Moved;
        report.folderPath = text;
        report.subject = text + text;
        report.sourceId = QStringLiteral("kmk:msg:%2Fs:.A:1.M1P1.h");
        report.reason = text;
        report.size = 1234567890123;
        const QByteArray line = JournalLine(report);
        EXPECT_FALSE(line.contains('\n'));
        // The next item of the same folder: its folder's JSON is the one kept.
        EXPECT_EQ(JournalLine(report), line);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.constData();
        const std::optional<JournalAction> action = JournalActionFrom(document.object());
        ASSERT_TRUE(action);
        EXPECT_EQ(action->outcome, ReportOutcome::Moved);
        EXPECT_EQ(action->sourceId, report.sourceId);
        EXPECT_EQ(action->size, report.size);
        EXPECT_TRUE(action->destinationId.isEmpty());
        if (text.isValidUtf16()) {
            EXPECT_EQ(action->folderPath, report.folderPath);
            EXPECT_EQ(action->subject, report.subject);
            EXPECT_EQ(action->error, report.reason);
        }
    }
}

// Journals of earlier runs hold Qt's SHA-256 of each exported file: the hash
// read now must be the same, for files of any length and across reads.
TEST(JournalLine, FingerprintIsTheFilesSha256SizeAndTime)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const qsizetype length : {qsizetype(0), qsizetype(55), qsizetype(64 * 1024 * 3 + 17)}) {
        SCOPED_TRACE(length);
        QByteArray bytes(length, Qt::Uninitialized);
        for (qsizetype i = 0; i < length; ++i)
            bytes[i] = char((i * 7919 + i / 251) & 0xff);
        const QString path = dir.filePath(QString::number(length));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), length);
        file.close();
        const FileFingerprint print = FingerprintOf(path);
        EXPECT_EQ(print.hash, QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        EXPECT_EQ(print.size, length);
        EXPECT_EQ(print.modified, QFileInfo(path).lastModified().toMSecsSinceEpoch());
    }
    EXPECT_EQ(FingerprintOf(dir.filePath(QStringLiteral("none"))).size, -1);
}

TEST(JournalSync, AFailedBackgroundSyncIsReportedNotLost)
{
    // fsync of a pipe fails (EINVAL): the reason must reach the writer's caller.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    {
        FileSyncer syncer(ends[1]);
        for (int i = 0; i < 3; ++i)
            syncer.request();
        EXPECT_EQ(syncer.wait(), EINVAL);
    }
    ::close(ends[0]);
    ::close(ends[1]);

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    FileSyncer syncer(file.handle());
    syncer.request();
    EXPECT_EQ(syncer.wait(), 0);
}
