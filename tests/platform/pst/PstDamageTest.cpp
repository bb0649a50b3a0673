// Damaged Outlook data files: cut short or with bits flipped, each is either
// refused at logon with its reason or read with every message copied or
// counted as failed with its reason, never a crash or a hang.

#include "PstFixture.h"
#include "support/MsgReaders.h"
#include "support/TempDir.h"

#include <QFile>

#include <random>

namespace kestrel::test {

namespace {

using engine::ReportOutcome;

struct Damage {
    QString name;
    QByteArray bytes;
};

QList<Damage> damagedCopies(const QByteArray& whole)
{
    QList<Damage> out;
    const qsizetype size = whole.size();
    for (const qsizetype cut : {qsizetype(600), size / 3, size - 5000})
        out.append({QStringLiteral("cut at %1").arg(cut), whole.left(cut)});
    // Bits flipped all over the file (mostly in messages), and a few in its header.
    for (const auto& [seed, flips, span] : {std::tuple{1u, 400, size}, std::tuple{2u, 400, size},
                                            std::tuple{3u, 12, qsizetype(4096)}}) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<qsizetype> offset(0, span - 1);
        QByteArray bytes = whole;
        for (int i = 0; i < flips; ++i)
            bytes[offset(random)] ^= char(1 << (random() % 8));
        out.append({QStringLiteral("%1 bits flipped, seed %2").arg(flips).arg(seed), bytes});
    }
    return out;
}

// Every folder below the top by its short path, and the items listed in all.
void collect(platform::Folder& folder, const QString& path, QStringList& paths, qint64& items)
{
    if (!path.isEmpty())
        paths << path;
    items += folder.items()->count().value_or(0);
    auto children = folder.folders();
    const int n = children->count().value_or(0);
    for (int i = 1; i <= n; ++i) {
        if (std::unique_ptr<platform::Folder> child = children->item(i))
            collect(*child,
                    path.isEmpty() ? child->name().value_or(QString())
                                   : path + '\\' + child->name().value_or(QString()),
                    paths, items);
    }
}

} // namespace

TEST(PstDamage, CutOrBitFlippedFilesAreRefusedWithTheReasonOrCopiedWithCountedFailures)
{
    int refused = 0, read = 0;
    for (const char* name : {"enron.pst", "pstextractortest@outlook.com.ost"}) {
        const QString file = pstTestFile(QString::fromLatin1(name));
        if (file.isEmpty())
            GTEST_SKIP() << "pst-extractor's test data is not installed (scripts/setup)";
        for (const Damage& damage : damagedCopies(readFile(file))) {
            SCOPED_TRACE(std::string(name) + ", " + damage.name.toStdString());
            TempDir dir;
            const QString copy = dir.filePath(QString::fromLatin1(name));
            QFile out(copy);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(damage.bytes) > 0);
            out.close();

            PstHarness pst(copy);
            ASSERT_TRUE(pst.opened);
            const QList<platform::PlatformError> unusable = pst.h.stores.ns().unusableStores();
            if (!unusable.isEmpty()) {
                ++refused;
                EXPECT_FALSE(unusable.front().text.isEmpty());
                continue;
            }
            ++read;
            QStringList folders;
            qint64 listed = 0;
            collect(*pst.h.stores.root(0), QString(), folders, listed);
            engine::TaskSettings s = pst.h.settings(1, false);
            s.StartDate = QDateTime(QDate(1980, 1, 1), QTime(0, 0));
            s.EndDate = QDateTime(QDate(2100, 1, 1), QTime(0, 0));
            s.DateBase = 3;
            s.IncludeUnread = true;
            s.RespectNoArchive = false;
            pst.h.run(std::move(s), folders);

            qint64 failed = 0;
            for (const engine::ItemReport& r : pst.h.view.reports) {
                if (r.outcome == ReportOutcome::Failed) {
                    ++failed;
                    EXPECT_FALSE(r.reason.isEmpty()) << r.subject.toStdString();
                }
            }
            const auto& counters = pst.h.runner.counters();
            EXPECT_EQ(counters.FailedCount, failed);
            // No message is lost without a word: each listed one is reported.
            EXPECT_EQ(pst.h.view.reports.size(), listed);
        }
    }
    // The damage chosen reaches both paths: refusal at logon and reading on.
    EXPECT_GT(refused, 0);
    EXPECT_GT(read, 0);
}

} // namespace kestrel::test
