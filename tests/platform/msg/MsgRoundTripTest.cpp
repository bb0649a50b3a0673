#include "MsgReaders.h"
#include "platform/MsgCodec.h"
#include "support/TempDir.h"

#include <QDir>
#include <QJsonArray>
#include <QProcess>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;
using platform::msg::MsgEnvelope;

namespace {

QByteArray allBytes()
{
    QByteArray b;
    for (int i = 0; i < 256 * 40; ++i)
        b.append(char(i * 7 % 256));
    return b;
}

QByteArray sampleMime()
{
    const QByteArray attachment = allBytes().toBase64();
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n-inline-image-bytes", 26).toBase64();
    QByteArray mime =
        "From: =?utf-8?Q?J=C3=BCrgen_Stra=C3=9Fer?= <juergen@example.org>\n"
        "To: Ann One <ann@example.com>, bob@example.com\n"
        "Cc: Carol <carol@example.net>\n"
        "Bcc: dave@example.net\n"
        "Subject: =?utf-8?Q?Re:_Gr=C3=BC=C3=9Fe_=E2=82=AC_100?=\n"
        "Date: Tue, 05 Mar 2024 14:15:16 +0100\n"
        "Message-ID: <round.trip@example.org>\n"
        "In-Reply-To: <parent@example.org>\n"
        "References: <root@example.org> <parent@example.org>\n"
        "MIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"outer\"\n\n"
        "--outer\n"
        "Content-Type: multipart/alternative; boundary=\"alt\"\n\n"
        "--alt\n"
        "Content-Type: text/plain; charset=utf-8\n"
        "Content-Transfer-Encoding: 8bit\n\n"
        "Hello J\xc3\xbcrgen,\nline two \xe2\x82\xac\n\n--alt\n"
        "Content-Type: multipart/related; boundary=\"rel\"\n\n"
        "--rel\n"
        "Content-Type: text/html; charset=utf-8\n\n"
        "<html><body><p>Hello J\xc3\xbcrgen</p><img src=\"cid:logo@example.org\"></body></html>\n"
        "--rel\n"
        "Content-Type: image/png; name=logo.png\n"
        "Content-ID: <logo@example.org>\n"
        "Content-Disposition: inline; filename=logo.png\n"
        "Content-Transfer-Encoding: base64\n\n" +
        png +
        "\n--rel--\n\n--alt--\n\n"
        "--outer\n"
        "Content-Type: application/octet-stream; name=\"data \xc3\xa9t\xc3\xa9.bin\"\n"
        "Content-Disposition: attachment; filename*=utf-8''data%20%C3%A9t%C3%A9.bin\n"
        "Content-Transfer-Encoding: base64\n\n" +
        attachment +
        "\n--outer\n"
        "Content-Type: message/rfc822\n\n"
        "From: Inner <inner@example.com>\n"
        "To: ann@example.com\n"
        "Subject: Inner message\n"
        "Date: Mon, 04 Mar 2024 09:00:00 +0000\n"
        "MIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"inner\"\n\n"
        "--inner\n"
        "Content-Type: text/plain\n\ninner text\n"
        "--inner\n"
        "Content-Type: text/csv; name=inner.csv\n"
        "Content-Disposition: attachment; filename=inner.csv\n\n"
        "a,b\n1,2\n"
        "--inner--\n"
        "--outer--\n";
    return mime;
}

// What a python3-olefile script prints about the file.
QByteArray byOlefile(const char* script, const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QString::fromLatin1(script), path});
    p.waitForFinished(60000);
    return p.readAllStandardOutput().trimmed();
}

// The "do not archive" mark as Outlook finds it: through the name map, read
// with olefile rather than our own reader.
int agingMarkByOlefile(const QString& path)
{
    const char* script = R"(
import olefile, struct, sys
o = olefile.OleFileIO(sys.argv[1])
guids = o.openstream('__nameid_version1.0/__substg1.0_00020102').read()
entries = o.openstream('__nameid_version1.0/__substg1.0_00030102').read()
common = bytes.fromhex('0820060000000000C000000000000046')
for i in range(0, len(entries), 8):
    lid, info = struct.unpack('<II', entries[i:i+8])
    kind, guid, index = info & 1, (info >> 1) & 0x7FFF, info >> 16
    if kind or guid < 3 or guids[(guid-3)*16:(guid-2)*16] != common or lid != 0x850E:
        continue
    bucket = '__nameid_version1.0/__substg1.0_%04X0102' % (0x1000 + ((lid ^ (guid << 1)) % 0x1F))
    if entries[i:i+8] not in o.openstream(bucket).read():
        print(-2); sys.exit()
    tag = ((0x8000 + index) << 16) | 0x000B
    props = o.openstream('__properties_version1.0').read()[32:]
    for j in range(0, len(props), 16):
        t, _, v = struct.unpack('<IIQ', props[j:j+16])
        if t == tag:
            print(v & 0xFFFF); sys.exit()
print(-1)
)";
    return byOlefile(script, path).toInt();
}

// PR_FLAG_STATUS, PR_LAST_VERB_EXECUTED and PR_ICON_INDEX as olefile reads them
// (-1 when absent).
QList<int> followUpByOlefile(const QString& path)
{
    const char* script = R"(
import olefile, struct, sys
props = olefile.OleFileIO(sys.argv[1]).openstream('__properties_version1.0').read()[32:]
found = {}
for j in range(0, len(props), 16):
    t, _, v = struct.unpack('<IIQ', props[j:j+16])
    found[t] = v & 0xFFFFFFFF
print(' '.join(str(found.get(t, -1)) for t in (0x10900003, 0x10810003, 0x10800003)))
)";
    QList<int> out;
    for (const QByteArray& n : byOlefile(script, path).split(' '))
        out << n.toInt();
    return out;
}

// The address of each "type: name <address>" line.
QStringList lastAddresses(const QJsonValue& lines)
{
    QStringList out;
    for (const QString& line : toStringList(lines)) {
        const QStringList found = addressesIn({line});
        if (!found.isEmpty())
            out << found.back();
    }
    return out;
}

} // namespace

// MIME to .msg to MIME keeps what a store and its user care about.
TEST(MsgRoundTrip, MimeToMsgToMimeKeepsTheMessage)
{
    TempDir dir;
    for (const bool marked : {true, false}) {
        MsgEnvelope in;
        in.mime = sampleMime();
        in.unread = marked;
        in.noAging = marked;
        in.receivedTime =
            QDateTime::fromString(QStringLiteral("2024-03-05T13:20:00.123Z"), Qt::ISODateWithMs);
        in.creationTime =
            QDateTime::fromString(QStringLiteral("2024-03-05T13:21:00Z"), Qt::ISODate);
        in.lastModificationTime =
            QDateTime::fromString(QStringLiteral("2024-03-06T08:00:00Z"), Qt::ISODate);
        const QString path =
            dir.filePath(marked ? QStringLiteral("marked.msg") : QStringLiteral("plain.msg"));
        platform::PlatformError error;
        ASSERT_TRUE(platform::msg::writeMsgFile(in, path, &error)) << error.detail.toStdString();
        EXPECT_EQ(agingMarkByOlefile(path), marked ? 1 : -1);

        auto out = platform::msg::readMsgFile(path, &error);
        ASSERT_TRUE(out.has_value()) << error.detail.toStdString();
        EXPECT_EQ(out->unread, marked);
        EXPECT_EQ(out->noAging, marked);
        EXPECT_EQ(out->receivedTime, in.receivedTime);
        EXPECT_EQ(out->creationTime, in.creationTime);
        EXPECT_EQ(out->lastModificationTime, in.lastModificationTime);
        EXPECT_EQ(out->messageClass.toStdString(), "IPM.Note");

        const MimeSummary a = summarizeMime(in.mime);
        const MimeSummary b = summarizeMime(out->mime);
        EXPECT_EQ(b.subject.toStdString(), "Re: Gr\u00fc\u00dfe \u20ac 100");
        EXPECT_EQ(b.subject, a.subject);
        EXPECT_EQ(b.fromName.toStdString(), "J\u00fcrgen Stra\u00dfer");
        EXPECT_EQ(b.fromAddress, a.fromAddress);
        EXPECT_EQ(b.to, a.to);
        EXPECT_EQ(b.cc, a.cc);
        EXPECT_EQ(b.bcc, a.bcc);
        EXPECT_EQ(b.date.toStdString(), a.date.toStdString());
        EXPECT_TRUE(out->mime.contains("Message-Id: <round.trip@example.org>") ||
                    out->mime.contains("Message-ID: <round.trip@example.org>"));
        EXPECT_TRUE(out->mime.contains("In-Reply-To: <parent@example.org>"));
        EXPECT_TRUE(out->mime.contains("References: <root@example.org> <parent@example.org>"));
        EXPECT_EQ(bodyText(b.text).toStdString(), bodyText(a.text).toStdString());
        EXPECT_EQ(bodyText(b.html).toStdString(), bodyText(a.html).toStdString());
        ASSERT_EQ(b.attachments.size(), a.attachments.size());
        EXPECT_EQ(b.attachments, a.attachments);
        EXPECT_EQ(b.attachmentData, a.attachmentData);
        EXPECT_TRUE(out->mime.contains("multipart/related"));
        EXPECT_TRUE(out->mime.contains("Content-Id: <logo@example.org>") ||
                    out->mime.contains("Content-ID: <logo@example.org>"));

        ASSERT_EQ(b.embeddedSubjects, a.embeddedSubjects);
        const MimeSummary innerA = summarizeMime(a.embeddedMime.front());
        const MimeSummary innerB = summarizeMime(b.embeddedMime.front());
        EXPECT_EQ(innerB.fromAddress, innerA.fromAddress);
        EXPECT_EQ(bodyText(innerB.text), bodyText(innerA.text));
        EXPECT_EQ(innerB.attachments, innerA.attachments);
        EXPECT_EQ(innerB.attachmentData, innerA.attachmentData);
    }
}

// Follow-up, answered and forwarded marks are written as Outlook keeps them and read back.
// Attachments of every size against the 57-byte lines of base64, and plain
// bodies, come back byte for byte, in MIME that mail transport takes: no line
// over 998 characters.
TEST(MsgRoundTrip, BodiesAndAttachmentsComeBackWhateverTheirLength)
{
    const QByteArray text = "From the first line on\n" + QByteArray(1500, 'x') + "\nend\n";
    for (const int size : {1, 2, 3, 56, 57, 58, 171, 5700}) {
        QByteArray data;
        for (int i = 0; i < size; ++i)
            data.append(char((i * 31 + size) % 256));
        MsgEnvelope in;
        in.mime = "From: a@example.com\nSubject: sizes\nMIME-Version: 1.0\n"
                  "Content-Type: multipart/mixed; boundary=b\n\n--b\n"
                  "Content-Type: text/plain; charset=us-ascii\n\n" +
                  text +
                  "--b\nContent-Type: application/octet-stream\n"
                  "Content-Disposition: attachment; filename=d.bin\n"
                  "Content-Transfer-Encoding: base64\n\n" +
                  data.toBase64() + "\n--b--\n";
        platform::PlatformError error;
        const auto bytes = platform::msg::encodeMsg(in, &error);
        ASSERT_TRUE(bytes) << error.detail.toStdString();
        const auto out = platform::msg::decodeMsg(*bytes, &error);
        ASSERT_TRUE(out) << error.detail.toStdString();
        const MimeSummary read = summarizeMime(out->mime);
        EXPECT_EQ(read.attachmentData, QList<QByteArray>{data}) << size;
        EXPECT_EQ(bodyText(read.text).toStdString(),
                  bodyText(QString::fromLatin1(text)).toStdString());
        for (const QByteArray& line : out->mime.split('\n'))
            EXPECT_LE(line.size(), 998) << size;
    }
}

TEST(MsgRoundTrip, FollowUpAnsweredAndForwardedMarks)
{
    TempDir dir;
    struct Case {
        bool flagged, answered, forwarded;
        QList<int> stored; // flag status, last verb, icon index
    };
    const Case cases[] = {
        {false, false, false, {-1, -1, -1}},
        {true, false, false, {2, -1, -1}},
        {false, true, false, {-1, 102, 0x105}},
        {true, false, true, {2, 104, 0x106}},
    };
    for (const Case& c : cases) {
        MsgEnvelope in;
        in.mime = "From: a@example.com\nTo: b@example.com\nSubject: marks\n\nbody\n";
        in.flagged = c.flagged;
        in.answered = c.answered;
        in.forwarded = c.forwarded;
        const QString path = dir.filePath(
            QStringLiteral("marks-%1%2%3.msg").arg(c.flagged).arg(c.answered).arg(c.forwarded));
        platform::PlatformError error;
        ASSERT_TRUE(platform::msg::writeMsgFile(in, path, &error)) << error.detail.toStdString();
        EXPECT_EQ(followUpByOlefile(path), c.stored) << path.toStdString();
        auto out = platform::msg::readMsgFile(path, &error);
        ASSERT_TRUE(out.has_value());
        EXPECT_EQ(out->flagged, c.flagged) << path.toStdString();
        EXPECT_EQ(out->answered, c.answered) << path.toStdString();
        EXPECT_EQ(out->forwarded, c.forwarded) << path.toStdString();
    }
    // A real Outlook file that was forwarded.
    platform::PlatformError error;
    auto real = platform::msg::readMsgFile(corpusPath(QStringLiteral("msg/html-inline-images.msg")),
                                           &error);
    ASSERT_TRUE(real.has_value());
    EXPECT_TRUE(real->forwarded);
    EXPECT_FALSE(real->answered);
    EXPECT_FALSE(real->flagged);
}

// Unlabelled 8-bit names and subjects are read in the charset of the body part
// when they are no UTF-8 (a Big5 subject came out as Latin-1 before).
TEST(MsgRoundTrip, UnlabelledEightBitHeadersFollowTheBody)
{
    const QByteArray mime =
        "From: " + QByteArray::fromHex("a4fda470a9fa") +
        " <wang@example.tw>\nSubject: " + QByteArray::fromHex("b77cc4b3acf6bffd") +
        "\nMIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=b\n\n"
        "--b\nContent-Type: text/plain; charset=big5\n\nbody\n--b--\n";
    MsgEnvelope in;
    in.mime = mime;
    platform::PlatformError error;
    auto bytes = platform::msg::encodeMsg(in, &error);
    ASSERT_TRUE(bytes.has_value());
    auto out = platform::msg::decodeMsg(*bytes, &error);
    ASSERT_TRUE(out.has_value());
    const MimeSummary s = summarizeMime(out->mime);
    EXPECT_EQ(s.subject.toStdString(), "\u6703\u8b70\u7d00\u9304");
    EXPECT_EQ(s.fromName.toStdString(), "\u738b\u5c0f\u660e");
}

// Reports, signed mail and meeting requests keep a class of their kind.
TEST(MsgRoundTrip, MessageClassFollowsTheContent)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Content-Type: multipart/report; report-type=delivery-status; boundary=b\n\n--b\n"
         "Content-Type: text/plain\n\nfailed\n--b--\n",
         "REPORT.IPM.Note.NDR"},
        {"Content-Type: multipart/report; report-type=disposition-notification; boundary=b\n\n"
         "--b\nContent-Type: text/plain\n\nread\n--b--\n",
         "REPORT.IPM.Note.IPNRN"},
        {"Content-Type: multipart/alternative; boundary=b\n\n--b\nContent-Type: text/plain\n\n"
         "invite\n--b\nContent-Type: text/calendar; method=REQUEST\n\nBEGIN:VCALENDAR\n--b--\n",
         "IPM.Schedule.Meeting.Request"},
        {"X-Kestrel-Message-Class: IPM.Task\nContent-Type: text/plain\n\ntask\n", "IPM.Task"},
        {"Content-Type: text/plain\n\nplain\n", "IPM.Note"},
    };
    for (const auto& [body, cls] : cases) {
        MsgEnvelope in;
        in.mime = QByteArray("From: a@example.com\nSubject: class\nMIME-Version: 1.0\n") + body;
        platform::PlatformError error;
        auto bytes = platform::msg::encodeMsg(in, &error);
        ASSERT_TRUE(bytes.has_value());
        auto out = platform::msg::decodeMsg(*bytes, &error);
        ASSERT_TRUE(out.has_value());
        EXPECT_EQ(out->messageClass.toStdString(), cls);
    }
}

// .msg to MIME to .msg: the independent reader reports the same message.
TEST(MsgRoundTrip, MsgToMimeToMsgKeepsWhatReadersReport)
{
    TempDir dir;
    const QStringList names =
        QDir(corpusPath(QStringLiteral("msg"))).entryList({QStringLiteral("*.msg")});
    ASSERT_EQ(names.size(), 28);
    QStringList originals, copies;
    for (const QString& name : names) {
        const QString original = corpusPath(QStringLiteral("msg/") + name);
        platform::PlatformError error;
        auto envelope = platform::msg::readMsgFile(original, &error);
        ASSERT_TRUE(envelope.has_value()) << name.toStdString();
        const QString copy = dir.filePath(name);
        ASSERT_TRUE(platform::msg::writeMsgFile(*envelope, copy, &error)) << name.toStdString();
        originals << original;
        copies << copy;
    }
    const auto before = msgInfo(originals);
    const auto after = msgInfo(copies);
    for (int i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].toStdString());
        const QJsonObject a = before.value(originals[i]);
        const QJsonObject b = after.value(copies[i]);
        ASSERT_FALSE(b.contains(QStringLiteral("error")));
        for (const char* key : {"class", "subject", "recipients"}) {
            EXPECT_EQ(b.value(QLatin1String(key)).toVariant().toString().toStdString(),
                      a.value(QLatin1String(key)).toVariant().toString().toStdString())
                << key;
        }
        // Times keep milliseconds; a file without a received time gets one.
        const QString received = a.value(QStringLiteral("delivery_time")).toString();
        if (!received.isEmpty()) {
            EXPECT_EQ(b.value(QStringLiteral("delivery_time")).toString().left(23).toStdString(),
                      received.left(23).toStdString());
        }
        EXPECT_EQ(b.value(QStringLiteral("recipient_types")).toObject(),
                  a.value(QStringLiteral("recipient_types")).toObject());
        const QStringList ra = lastAddresses(a.value(QStringLiteral("recipient_list")));
        const QStringList rb = lastAddresses(b.value(QStringLiteral("recipient_list")));
        EXPECT_EQ(rb.join(QLatin1Char(' ')).toStdString(), ra.join(QLatin1Char(' ')).toStdString());
        const QStringList senderA = addressesIn({a.value(QStringLiteral("sender")).toString()});
        if (!senderA.isEmpty()) {
            EXPECT_EQ(
                addressesIn({b.value(QStringLiteral("sender")).toString()}).value(0).toStdString(),
                senderA.front().toStdString());
        }
        const QString textA = bodyText(a.value(QStringLiteral("text_start")).toString());
        if (!textA.isEmpty()) {
            EXPECT_TRUE(bodyText(b.value(QStringLiteral("text_start")).toString())
                            .startsWith(textA.left(40)))
                << b.value(QStringLiteral("text_start")).toString().toStdString();
        }
        const QJsonArray la = a.value(QStringLiteral("attachment_list")).toArray();
        const QJsonArray lb = b.value(QStringLiteral("attachment_list")).toArray();
        EXPECT_EQ(b.value(QStringLiteral("embedded_msgs")).toInt(),
                  a.value(QStringLiteral("embedded_msgs")).toInt());
        if (a.value(QStringLiteral("class")).toString().startsWith(QLatin1String("IPM.Note.SMIME")))
            continue; // the signed entity is rewritten by GMime: same parts, other bytes
        for (const QJsonValue& v : la) {
            const QJsonObject att = v.toObject();
            if (att.contains(QStringLiteral("embedded"))) {
                const QString subject = att.value(QStringLiteral("embedded"))
                                            .toObject()
                                            .value(QStringLiteral("subject"))
                                            .toString();
                EXPECT_TRUE(std::any_of(lb.begin(), lb.end(),
                                        [&](const QJsonValue& w) {
                                            return w.toObject()
                                                       .value(QStringLiteral("embedded"))
                                                       .toObject()
                                                       .value(QStringLiteral("subject"))
                                                       .toString() == subject;
                                        }))
                    << "embedded " << subject.toStdString();
                continue;
            }
            if (att.value(QStringLiteral("method")).toInt() != 1)
                continue;
            EXPECT_TRUE(std::any_of(lb.begin(), lb.end(), [&](const QJsonValue& w) {
                const QJsonObject o = w.toObject();
                return o.value(QStringLiteral("file")) == att.value(QStringLiteral("file")) &&
                       o.value(QStringLiteral("size")) == att.value(QStringLiteral("size"));
            })) << att.value(QStringLiteral("file")).toString().toStdString();
        }
    }
}
