#include "DemoProfileBuilder.h"
#include "MsgReaders.h"
#include "platform/MsgCodec.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

struct Source {
    QString name;
    QByteArray mime;
};

std::string join(QStringList list)
{
    list.removeDuplicates();
    list.sort();
    return list.join(QStringLiteral(", ")).toStdString();
}

// A Subject: that is raw 8-bit in the file is read differently by each
// reader; only its presence can be compared.
bool hasRawEightBitSubject(const QByteArray& mime)
{
    QByteArray head =
        mime.left(std::max<qsizetype>(mime.indexOf("\n\n"), mime.indexOf("\r\n\r\n")));
    head.replace("\r\n", "\n");
    const qsizetype at = head.indexOf("\nSubject:");
    const qsizetype start = head.startsWith("Subject:") ? 0 : at;
    if (start < 0)
        return false;
    qsizetype end = head.indexOf('\n', start + 1);
    while (end >= 0 && end + 1 < head.size() && (head[end + 1] == ' ' || head[end + 1] == '\t'))
        end = head.indexOf('\n', end + 1);
    for (char c : head.mid(start, end < 0 ? -1 : end - start)) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

struct Expected {
    QString subject;
    bool exactSubject = true;
    QStringList from;       // From and Sender addresses: readers show either
    QStringList recipients; // To and Cc addresses
    QString textStart;
    bool htmlOnly = false;
    QList<QPair<QString, qint64>> files; // named attachments
    QStringList embedded;
    bool signedEntity = false;
};

// What the source says, as GMime (the parser the store uses) reads it.
Expected expectedFrom(const Source& source)
{
    const MimeSummary gm = summarizeMime(source.mime);
    Expected e;
    e.subject = gm.subject;
    e.exactSubject = !hasRawEightBitSubject(source.mime);
    if (!gm.fromAddress.isEmpty())
        e.from << gm.fromAddress.toLower();
    if (!gm.senderAddress.isEmpty())
        e.from << gm.senderAddress.toLower();
    // GMime keeps junk from broken address headers as mailboxes; readers show addresses.
    for (const QString& a : gm.to + gm.cc) {
        if (a.contains(QLatin1Char('@')))
            e.recipients << a;
    }
    e.textStart = gm.text.simplified().left(40);
    e.htmlOnly = gm.text.trimmed().isEmpty() && !gm.html.trimmed().isEmpty();
    for (const auto& a : gm.attachments) {
        if (!a.first.isEmpty())
            e.files << a;
    }
    e.embedded = gm.embeddedSubjects;
    e.signedEntity = source.mime.contains("application/pkcs7-signature") ||
                     source.mime.contains("application/x-pkcs7-signature");
    return e;
}

void expectSender(const Expected& e, const QString& text, const char* reader)
{
    if (e.from.isEmpty())
        return;
    QStringList got = addressesIn({text});
    got.removeDuplicates();
    EXPECT_TRUE(got.size() == 1 && e.from.contains(got.front()))
        << reader << " sender " << text.toStdString() << " want " << join(e.from);
}

void expectSubject(const Expected& e, const QString& got, const char* reader)
{
    if (e.exactSubject)
        EXPECT_EQ(got.simplified().toStdString(), e.subject.simplified().toStdString()) << reader;
    else
        EXPECT_EQ(got.isEmpty(), e.subject.isEmpty()) << reader;
}

void checkMsgInfo(const Expected& e, const QJsonObject& info)
{
    ASSERT_FALSE(info.contains(QStringLiteral("error")))
        << info.value(QStringLiteral("error")).toString().toStdString();
    expectSubject(e, info.value(QStringLiteral("subject")).toString(), "olefile");
    expectSender(e, info.value(QStringLiteral("sender")).toString(), "olefile");
    QStringList recipients =
        addressesIn(toStringList(info.value(QStringLiteral("recipient_list"))));
    recipients.sort();
    EXPECT_EQ(join(recipients), join(e.recipients)) << "olefile";
    const QString text = info.value(QStringLiteral("text_start")).toString().simplified();
    if (!e.textStart.isEmpty()) {
        EXPECT_TRUE(e.textStart.startsWith(text.left(e.textStart.size())) && !text.isEmpty())
            << "olefile text: " << text.toStdString() << " want: " << e.textStart.toStdString();
    }
    if (e.htmlOnly) {
        EXPECT_GT(info.value(QStringLiteral("text_chars")).toInt(), 0)
            << "plain text made from HTML";
    }

    QList<QPair<QString, qint64>> files;
    QStringList embedded;
    for (const QJsonValue& v : info.value(QStringLiteral("attachment_list")).toArray()) {
        const QJsonObject a = v.toObject();
        if (a.contains(QStringLiteral("embedded")))
            embedded << a.value(QStringLiteral("embedded"))
                            .toObject()
                            .value(QStringLiteral("subject"))
                            .toString();
        else
            files << qMakePair(a.value(QStringLiteral("file")).toString(),
                               qint64(a.value(QStringLiteral("size")).toInteger()));
    }
    if (e.signedEntity) {
        ASSERT_EQ(files.size(), 1);
        EXPECT_EQ(files.front().first.toStdString(), "smime.p7m");
        return;
    }
    for (const auto& f : e.files)
        EXPECT_TRUE(files.contains(f))
            << "olefile lacks " << f.first.toStdString() << " " << f.second;
    EXPECT_EQ(embedded.join(QStringLiteral(" | ")).toStdString(),
              e.embedded.join(QStringLiteral(" | ")).toStdString())
        << "olefile";
}

// msgconvert turns the file back into MIME; GMime reads that.
void checkMsgConvert(const Expected& e, const QByteArray& mime)
{
    ASSERT_FALSE(mime.isEmpty()) << "msgconvert gave nothing";
    const MimeSummary conv = summarizeMime(mime);
    expectSubject(e, conv.subject, "msgconvert");
    expectSender(e, conv.fromAddress, "msgconvert");
    // msgconvert mangles 8-bit characters in addresses: compare the ASCII ones.
    const auto ascii = [](const QStringList& list) {
        QStringList out;
        for (const QString& a : list) {
            if (a.contains(QLatin1Char('@')) &&
                std::all_of(a.begin(), a.end(), [](QChar c) { return c.unicode() < 0x80; }))
                out << a;
        }
        return out;
    };
    EXPECT_EQ(join(ascii(conv.to + conv.cc)), join(ascii(e.recipients))) << "msgconvert";
    if (!e.textStart.isEmpty() || e.htmlOnly) {
        EXPECT_FALSE(conv.text.trimmed().isEmpty()) << "msgconvert shows no text";
    }
    if (e.signedEntity)
        return;
    for (const auto& f : e.files)
        EXPECT_TRUE(conv.attachments.contains(f))
            << "msgconvert lacks " << f.first.toStdString() << " " << f.second;
    EXPECT_EQ(conv.embeddedSubjects.join(QStringLiteral(" | ")).toStdString(),
              e.embedded.join(QStringLiteral(" | ")).toStdString())
        << "msgconvert";
}

void checkMsgDump(const Expected& e, const QJsonObject& dump)
{
    ASSERT_FALSE(dump.contains(QStringLiteral("error")));
    expectSubject(e, dump.value(QStringLiteral("subject")).toString(), "msgreader");
    expectSender(e, dump.value(QStringLiteral("sender")).toString(), "msgreader");
    QStringList recipients = addressesIn(toStringList(dump.value(QStringLiteral("recipients"))));
    recipients.sort();
    EXPECT_EQ(join(recipients), join(e.recipients)) << "msgreader";
    if (!e.textStart.isEmpty() || e.htmlOnly) {
        EXPECT_GT(dump.value(QStringLiteral("bodyChars")).toInt(), 0) << "msgreader";
    }
    const QStringList atts = toStringList(dump.value(QStringLiteral("attachments")));
    if (e.signedEntity)
        return;
    for (const auto& f : e.files)
        EXPECT_TRUE(atts.contains(QStringLiteral("%1 (%2 bytes)").arg(f.first).arg(f.second)))
            << "msgreader lacks " << f.first.toStdString();
    EXPECT_EQ(int(std::count_if(
                  atts.begin(), atts.end(),
                  [](const QString& a) { return a.startsWith(QLatin1String("[embedded msg]")); })),
              int(e.embedded.size()))
        << "msgreader";
}

// Writes each source as .msg and holds every file against the three readers.
void checkAllReaders(const std::vector<Source>& sources)
{
    TempDir dir;
    QStringList paths;
    std::vector<Expected> expected;
    for (const Source& s : sources) {
        const QString path = dir.filePath(s.name + QStringLiteral(".msg"));
        platform::msg::MsgEnvelope envelope;
        envelope.mime = s.mime;
        platform::PlatformError error;
        ASSERT_TRUE(platform::msg::writeMsgFile(envelope, path, &error))
            << s.name.toStdString() << ": " << error.detail.toStdString();
        // libgsf's own reader (through our decoder) and olecfinfo open it.
        EXPECT_TRUE(platform::msg::decodeMsg(readFile(path), &error).has_value())
            << s.name.toStdString();
        EXPECT_TRUE(olecfinfoOpens(path)) << s.name.toStdString();
        paths << path;
        expected.push_back(expectedFrom(s));
    }
    const auto info = msgInfo(paths);
    const auto dump = msgDump(paths);
    for (size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(sources[i].name.toStdString());
        checkMsgInfo(expected[i], info.value(paths[int(i)]));
        checkMsgConvert(expected[i], msgConvert(paths[int(i)]));
        if (dump)
            checkMsgDump(expected[i], dump->value(paths[int(i)]));
    }
    if (!dump)
        GTEST_SKIP() << "@kenjiuno/msgreader is not installed in "
                     << msgReaderModules().toStdString() << ": its checks were skipped";
}

} // namespace

TEST(MsgWriteReaders, EveryCorpusEmlReadsTheSameInThreeReaders)
{
    std::vector<Source> sources;
    for (const QString& name :
         filesBelow(corpusPath(QStringLiteral("eml")), QStringLiteral("*.eml")))
        sources.push_back({QFileInfo(name).completeBaseName(),
                           readFile(corpusPath(QStringLiteral("eml/") + name))});
    ASSERT_EQ(sources.size(), 36u);
    checkAllReaders(sources);
}

TEST(MsgWriteReaders, DemoProfileMessagesReadTheSameInThreeReaders)
{
    TempDir profile;
    demo::DemoProfileBuilder builder(profile.filePath(QStringLiteral("demo")), 60, 7);
    ASSERT_TRUE(builder.build()) << builder.errorText().toStdString();
    std::vector<Source> sources;
    QDirIterator it(profile.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString parent = QFileInfo(path).dir().dirName();
        if (parent != QLatin1String("cur") && parent != QLatin1String("new"))
            continue;
        sources.push_back({QStringLiteral("demo-%1").arg(sources.size()), readFile(path)});
    }
    ASSERT_GE(sources.size(), 50u);
    checkAllReaders(sources);
}
