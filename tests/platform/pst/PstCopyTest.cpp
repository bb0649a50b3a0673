// Runs of the engine from an Outlook data file, held against pffexport and
// the independent .msg readers.

#include "PstFixture.h"
#include "platform/DateRestriction.h"
#include "platform/msg/ExchangeAddress.h"
#include "support/MsgReaders.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>
#include <functional>

namespace kestrel::test {

namespace {

// What every reader must agree on for one message.
struct Facts {
    QString subject;
    QString sender;          // the name, lower case: which address a sender has in MIME is chosen
    bool senderKnown = true; // false: the file holds no mail address for the sender
    QStringList to;          // lower case, sorted
    QList<QByteArray> attachments;
    bool operator<(const Facts& o) const
    {
        return std::tie(subject, sender, to, attachments) <
               std::tie(o.subject, o.sender, o.to, o.attachments);
    }
    bool operator==(const Facts& o) const
    {
        // Readers differ in the white space and terminators they keep around texts.
        const auto same = [](const QString& a, const QString& b) {
            return QString(a).remove(QChar(0)).simplified() ==
                   QString(b).remove(QChar(0)).simplified();
        };
        if (!same(subject, o.subject) || to.size() != o.to.size() || attachments != o.attachments)
            return false;
        if (senderKnown && o.senderKnown && !same(sender, o.sender))
            return false;
        for (qsizetype i = 0; i < to.size(); ++i) {
            if (!same(to[i], o.to[i]))
                return false;
        }
        return true;
    }
};

void PrintTo(const Facts& f, std::ostream* os)
{
    for (const QByteArray& a : f.attachments)
        *os << a.size() << ",";
    *os << "{" << f.subject.toStdString() << " | " << f.sender.toStdString() << " | "
        << f.to.join(',').toStdString() << " | " << f.attachments.size() << " attachments}";
}

QString lowerAddress(const QString& address)
{
    // An Exchange address travels in MIME in its IMCEAEX form.
    return platform::msg::fromImceaex(address).value_or(address).toLower();
}

// A stored address with white space in it is a name, not an address: the
// message's own headers carry it as such and MIME readers find no mailbox in it.
bool isNoAddress(const QString& address)
{
    return address.contains(' ');
}

// A recipient whose stored address is no mail address (a bare name, a quoted
// local part, a name with spaces) cannot travel in MIME as an address: such
// ones are left out.
QStringList comparable(QStringList addresses)
{
    addresses.removeIf([](const QString& a) {
        return a.contains('"') || isNoAddress(a) || (!a.contains('@') && !a.startsWith('/'));
    });
    addresses.sort();
    return addresses;
}

QList<QByteArray> sorted(QList<QByteArray> list)
{
    std::sort(list.begin(), list.end());
    return list;
}

// In a .msg file the sender; in MIME the From, which is the message's own
// header when the file kept it, else whom the message was sent for.
Facts factsOf(const PffMessage& m, bool asMime)
{
    const QString mimeFrom = m.headerFrom.isEmpty() ? m.representingName : m.headerFrom;
    const bool known = !asMime || !isNoAddress(m.senderEmail);
    return {m.subject, known ? (asMime ? mimeFrom : m.senderName).toLower() : QString(), known,
            comparable(m.to), sorted(m.attachments)};
}

Facts factsOfMime(const QByteArray& mime)
{
    const MimeSummary s = summarizeMime(mime);
    QStringList to;
    for (const QString& a : s.to)
        to << lowerAddress(a);
    // A From without a name is the stored name that was no address.
    const QString from = s.fromName.isEmpty() ? s.fromAddress : s.fromName;
    return {s.subject, from.toLower(), true, comparable(to), sorted(s.attachmentData)};
}

using DateOf = std::function<QDateTime(const PffMessage&)>;

const QList<QPair<int, DateOf>>& dateFields()
{
    static const QList<QPair<int, DateOf>> fields = {
        {0, [](const PffMessage& m) { return m.delivery; }},
        {1, [](const PffMessage& m) { return m.submit; }},
        {2, [](const PffMessage& m) { return m.modification; }},
        {3, [](const PffMessage& m) { return m.creation; }},
    };
    return fields;
}

// The calendar month (local time) of the middle message by this date.
QPair<QDateTime, QDateTime> monthAround(const QList<PffMessage>& messages, const DateOf& dateOf)
{
    QList<QDateTime> dates;
    for (const PffMessage& m : messages)
        dates << dateOf(m).toLocalTime();
    std::sort(dates.begin(), dates.end());
    const QDate middle = dates.at(dates.size() / 2).date();
    const QDate first(middle.year(), middle.month(), 1);
    return {QDateTime(first, QTime(0, 0)),
            QDateTime(first.addMonths(1).addDays(-1), QTime(23, 59, 59))};
}

// pffexport's messages in the range, compared to the minute as a restriction does.
QList<PffMessage> within(const QList<PffMessage>& messages, const DateOf& dateOf,
                         const QPair<QDateTime, QDateTime>& range)
{
    using platform::DateRestriction;
    const qint64 from = DateRestriction::minuteOf(range.first.toMSecsSinceEpoch());
    const qint64 to = DateRestriction::minuteOf(range.second.toMSecsSinceEpoch());
    QList<PffMessage> in;
    for (const PffMessage& m : messages) {
        const qint64 minute = DateRestriction::minuteOf(dateOf(m).toMSecsSinceEpoch());
        if (minute >= from && minute <= to)
            in << m;
    }
    return in;
}

struct PstRun {
    explicit PstRun(const QString& file) : pst(file) {}

    void copy(int dateBase, const QPair<QDateTime, QDateTime>& range, const QStringList& folders,
              const QString& disk = {})
    {
        engine::TaskSettings s = pst.h.settings(1, false, 1, disk);
        s.StartDate = range.first;
        s.EndDate = range.second;
        s.DateBase = dateBase;
        s.IncludeUnread = true;
        s.RespectNoArchive = false;
        pst.h.run(std::move(s), folders);
    }

    PstHarness pst;
};

QStringList tickedFolders(const PffExport& expected)
{
    QStringList folders = expected.folders.keys();
    folders.removeAll(QString());
    return folders;
}

} // namespace

TEST(PstCopy, EachDateFieldOfOneMonthCopiesPffexportsMessagesIntoAMaildirStore)
{
    KESTREL_REQUIRE_PST(file, "enron.pst");
    bool ok = false;
    const PffExport expected = PffExport::of(file, &ok);
    ASSERT_TRUE(ok);
    for (const auto& [dateBase, dateOf] : dateFields()) {
        SCOPED_TRACE(dateBase);
        const auto range = monthAround(expected.messages, dateOf);
        const QList<PffMessage> wanted = within(expected.messages, dateOf, range);
        ASSERT_FALSE(wanted.isEmpty());
        PstRun run(file);
        ASSERT_TRUE(run.pst.opened);
        run.copy(dateBase, range, tickedFolders(expected));
        const auto& counters = run.pst.h.runner.counters();
        EXPECT_EQ(counters.FailedCount, 0);
        EXPECT_EQ(counters.ProcessedCount, wanted.size());

        QList<Facts> want, got;
        for (const PffMessage& m : wanted) {
            want << factsOf(m, true);
            // The copy lies in the mirrored folder, received when the data file
            // says it was delivered, and read as it was there.
            const QStringList files = run.pst.h.stores.messageFiles(1, m.folder);
            const auto same = std::find_if(files.begin(), files.end(), [&](const QString& f) {
                return summarizeMime(readFile(f)).subject == m.subject &&
                       (!m.delivery.isValid() || QFileInfo(f).lastModified().toSecsSinceEpoch() ==
                                                     m.delivery.toSecsSinceEpoch());
            });
            ASSERT_NE(same, files.end()) << m.subject.toStdString();
            EXPECT_EQ(QFileInfo(*same).fileName().section(',', -1).contains('S'),
                      bool(m.flags & 1));
        }
        for (const QString& folder : tickedFolders(expected)) {
            for (const QString& f : run.pst.h.stores.messageFiles(1, folder))
                got << factsOfMime(readFile(f));
        }
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, want);
    }
}

TEST(PstCopy, OneMonthToMsgFilesReadsBackInEveryIndependentReader)
{
    KESTREL_REQUIRE_PST(file, "enron.pst");
    bool ok = false;
    const PffExport expected = PffExport::of(file, &ok);
    ASSERT_TRUE(ok);
    const DateOf delivery = dateFields().first().second;
    const auto range = monthAround(expected.messages, delivery);
    const QList<PffMessage> wanted = within(expected.messages, delivery, range);
    TempDir disk;
    PstRun run(file);
    ASSERT_TRUE(run.pst.opened);
    run.copy(0, range, tickedFolders(expected), disk.path());
    EXPECT_EQ(run.pst.h.runner.counters().FailedCount, 0);

    const QStringList relative = filesBelow(disk.path(), QStringLiteral("*.msg"));
    ASSERT_EQ(relative.size(), wanted.size());
    QStringList paths;
    for (const QString& r : relative)
        paths << disk.filePath(r);

    QList<Facts> want, wantMime, viaMsgconvert, viaOlefile;
    for (const PffMessage& m : wanted) {
        want << factsOf(m, false);
        want.last().attachments.clear();
        wantMime << factsOf(m, true);
    }
    const QMap<QString, QJsonObject> info = msgInfo(paths);
    const std::optional<QMap<QString, QJsonObject>> dump = msgDump(paths);
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        viaMsgconvert << factsOfMime(msgConvert(path));
        const QJsonObject o = info.value(path);
        ASSERT_FALSE(o.contains(QStringLiteral("error")));
        Facts f;
        f.subject = o.value(QStringLiteral("subject")).toString();
        f.sender = o.value(QStringLiteral("sender"))
                       .toString()
                       .section(QStringLiteral(" <"), 0, 0)
                       .toLower();
        for (const QJsonValue& r : o.value(QStringLiteral("recipient_list")).toArray()) {
            if (r.toString().startsWith(QLatin1String("to:")))
                f.to << r.toString().section('<', -1).chopped(1).toLower();
        }
        f.to = comparable(f.to);
        // olefile gives attachment sizes (held against msgconvert's bytes below).
        const Facts& converted = viaMsgconvert.last();
        QList<qint64> sizes;
        for (const QJsonValue& a : o.value(QStringLiteral("attachment_list")).toArray())
            sizes << a.toObject().value(QStringLiteral("size")).toInteger();
        QList<qint64> convertedSizes;
        for (const QByteArray& a : converted.attachments)
            convertedSizes << a.size();
        std::sort(sizes.begin(), sizes.end());
        std::sort(convertedSizes.begin(), convertedSizes.end());
        EXPECT_EQ(sizes, convertedSizes);
        viaOlefile << f;
        if (dump) {
            const QJsonObject d = dump->value(path);
            EXPECT_FALSE(d.contains(QStringLiteral("error")));
            EXPECT_EQ(d.value(QStringLiteral("subject")).toString(), f.subject);
            EXPECT_EQ(d.value(QStringLiteral("attachments")).toArray().size(), sizes.size());
        }
    }
    for (QList<Facts>* list : {&want, &wantMime, &viaMsgconvert, &viaOlefile})
        std::sort(list->begin(), list->end());
    EXPECT_EQ(viaOlefile, want);
    EXPECT_EQ(viaMsgconvert, wantMime);
}

} // namespace kestrel::test
