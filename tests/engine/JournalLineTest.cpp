// A journal line must read back as the report it was written from, whatever
// the texts hold.

#include "engine/JournalLine.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

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
