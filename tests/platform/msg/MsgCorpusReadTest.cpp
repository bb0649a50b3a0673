#include "MsgReaders.h"
#include "platform/MsgCodec.h"
#include "support/TempDir.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

// One file of corpus/msg against its line of expected.jsonl.
void checkAgainstExpected(const QJsonObject& expected, const platform::msg::MsgEnvelope& envelope)
{
    const QString file = expected.value(QStringLiteral("file")).toString();
    SCOPED_TRACE(file.toStdString());
    const MimeSummary mime = summarizeMime(envelope.mime);

    const QString cls = expected.value(QStringLiteral("class")).toString();
    EXPECT_EQ(envelope.messageClass.toStdString(), cls.toStdString());
    if (cls != QLatin1String("IPM.Note")) {
        EXPECT_EQ(mime.messageClassHeader.toStdString(), cls.toStdString());
    }
    EXPECT_EQ(mime.subject.toStdString(),
              expected.value(QStringLiteral("subject")).toString().toStdString());

    // Exchange-internal sender addresses have an SMTP form beside them: check names then.
    const QString sender = expected.value(QStringLiteral("sender")).toString();
    if (!sender.isEmpty()) {
        const QString name = sender.left(sender.lastIndexOf(QStringLiteral(" <")));
        const QString address = sender.mid(sender.lastIndexOf(QLatin1Char('<')) + 1).chopped(1);
        if (address.contains(QLatin1Char('@'))) {
            EXPECT_EQ(mime.fromAddress.toLower().toStdString(), address.toLower().toStdString());
        }
        if (!mime.fromName.isEmpty() || name != address) {
            EXPECT_EQ(mime.fromName.toStdString(), name.toStdString());
        }
    }

    const QJsonObject types = expected.value(QStringLiteral("recipient_types")).toObject();
    for (const QString& line : toStringList(expected.value(QStringLiteral("recipient_list")))) {
        const QString kind = line.section(QLatin1Char(':'), 0, 0);
        const QStringList addr = addressesIn({line.section(QLatin1Char(':'), 1)});
        if (addr.isEmpty())
            continue;
        const QStringList& list = kind == QLatin1String("cc")    ? mime.cc
                                  : kind == QLatin1String("bcc") ? mime.bcc
                                                                 : mime.to;
        EXPECT_TRUE(list.contains(addr.front())) << line.toStdString();
    }
    if (types.value(QStringLiteral("to")).toInt() > 0) {
        EXPECT_FALSE(mime.to.isEmpty());
    }

    const QString start = bodyText(expected.value(QStringLiteral("text_start")).toString());
    if (!start.isEmpty()) {
        EXPECT_TRUE(bodyText(mime.text).startsWith(start))
            << "text: " << mime.text.left(80).toStdString() << "\nwant: " << start.toStdString();
    }

    if (cls.startsWith(QLatin1String("IPM.Note.SMIME")))
        return; // the signed entity is the body itself, not an attachment
    QStringList embedded;
    for (const QJsonValue& v : expected.value(QStringLiteral("attachment_list")).toArray()) {
        const QJsonObject a = v.toObject();
        if (a.contains(QStringLiteral("embedded"))) {
            embedded << a.value(QStringLiteral("embedded"))
                            .toObject()
                            .value(QStringLiteral("subject"))
                            .toString();
            continue;
        }
        if (a.value(QStringLiteral("method")).toInt() != 1)
            continue;
        const auto want = qMakePair(a.value(QStringLiteral("file")).toString(),
                                    qint64(a.value(QStringLiteral("size")).toInteger()));
        EXPECT_TRUE(mime.attachments.contains(want))
            << want.first.toStdString() << " " << want.second;
    }
    EXPECT_EQ(mime.embeddedSubjects, embedded);
}

} // namespace

// Every real Outlook file of the corpus reads into MIME that says what the file says.
TEST(MsgCorpusRead, EveryFileMatchesItsExpectedSummary)
{
    QFile list(corpusPath(QStringLiteral("msg/expected.jsonl")));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    int files = 0;
    for (const QByteArray& line : list.readAll().split('\n')) {
        const QJsonObject expected = QJsonDocument::fromJson(line).object();
        if (expected.isEmpty())
            continue;
        const QString path =
            corpusPath(QStringLiteral("msg/") + expected.value(QStringLiteral("file")).toString());
        platform::PlatformError error;
        auto envelope = platform::msg::readMsgFile(path, &error);
        ASSERT_TRUE(envelope.has_value())
            << path.toStdString() << ": " << error.detail.toStdString();
        EXPECT_TRUE(error.ok());
        checkAgainstExpected(expected, *envelope);
        ++files;
    }
    EXPECT_EQ(files, 28);
}

// Flags and times that live beside the MIME text come back too.
TEST(MsgCorpusRead, FlagsAndTimesOfRealFiles)
{
    platform::PlatformError error;
    auto draft =
        platform::msg::readMsgFile(corpusPath(QStringLiteral("msg/unsent-draft.msg")), &error);
    ASSERT_TRUE(draft.has_value());
    EXPECT_TRUE(draft->mime.contains("X-Unsent: 1"));

    auto received = platform::msg::readMsgFile(
        corpusPath(QStringLiteral("msg/ansi-cp1251-cyrillic.msg")), &error);
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->receivedTime.toUTC().toString(Qt::ISODate).toStdString(),
              "2010-05-18T07:51:07Z");
    EXPECT_TRUE(received->creationTime.isValid());
    EXPECT_FALSE(received->mime.contains("X-Unsent"));

    // Native RTF stays as an RTF alternative beside its text, whole. (The fuzzer
    // found its bytes read after they were freed: task-item.msg.)
    for (const char* name : {"msg/rtf-native-body.msg", "msg/task-item.msg"}) {
        auto rtf = platform::msg::readMsgFile(corpusPath(QLatin1String(name)), &error);
        ASSERT_TRUE(rtf.has_value());
        EXPECT_TRUE(rtf->mime.contains("multipart/alternative"));
        const MimeSummary s = summarizeMime(rtf->mime);
        EXPECT_TRUE(s.rtf.startsWith("{\\rtf1")) << name;
        EXPECT_TRUE(s.rtf.trimmed().endsWith('}')) << name;
    }

    // HTML that only exists wrapped in RTF is taken out as HTML.
    auto wrapped =
        platform::msg::readMsgFile(corpusPath(QStringLiteral("msg/attach-two-files.msg")), &error);
    ASSERT_TRUE(wrapped.has_value());
    const MimeSummary s = summarizeMime(wrapped->mime);
    EXPECT_TRUE(s.html.contains(QLatin1String("<html"), Qt::CaseInsensitive));
    EXPECT_FALSE(s.html.contains(QLatin1String("\\htmltag")));
}
