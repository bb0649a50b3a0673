// The Date, Subject and From fields read straight from a message file must be
// exactly what the full parse of its header block gives.

#include "platform/maildir/MessageFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrel::platform::maildir;

namespace {

struct Case {
    const char* what;
    QByteArray message;
    bool light; // read without a parse (else the file falls back to one)
};

QList<Case> awkwardHeaders()
{
    const QByteArray body = "\nBody line.\n";
    return {
        {"plain",
         "Date: Tue, 3 Mar 2026 10:00:00 +0100\nSubject: Hello\nFrom: Ann <a@x.org>\n" + body,
         true},
        {"folded everywhere",
         "Subject: a long\n subject\n\tfolded twice\nFrom: \"Ann\n Other\" <a@x.org>,\n b@y.org\n"
         "Date: Tue,\n 3 Mar 2026\n 10:00:00 +0100\n" +
             body,
         true},
        {"encoded words",
         "Subject: =?UTF-8?B?w6l0w6kgZW5jb2Rl?= =?ISO-8859-1?Q?_caf=E9?= plain\n"
         "From: =?utf-8?q?J=C3=BCrgen?= <j@x.de>\nDate: 1 Jan 2020 00:00:00 GMT\n" +
             body,
         true},
        {"encoded word split by a fold", "Subject: =?utf-8?q?caf?=\n =?utf-8?q?=C3=A9?=\n" + body,
         true},
        {"missing fields", "To: t@x.org\n" + body, true},
        {"empty values", "Subject:\nFrom:\nDate:\n" + body, true},
        {"duplicate fields",
         "Date: 1 Jan 2020 00:00:00 GMT\nSubject: first\nFrom: a@x.org\nSubject: second\n"
         "From: B <b@y.org>\nDate: 2 Feb 2021 12:00:00 +0200\n" +
             body,
         true},
        {"duplicate date, last invalid", "Date: 1 Jan 2020 00:00:00 GMT\nDate: not a date\n" + body,
         true},
        {"names in other cases",
         "SUBJECT: up\nfrom: low@x.org\ndAtE: 5 May 2022 05:05:05 -0700\n" + body, true},
        {"group and comments",
         "From: Team: Ann <a@x.org>, (c) b@y.org;\nSubject: (not a comment)\n" + body, true},
        {"utf-8 unlabelled", "Subject: d\xc3\xa9j\xc3\xa0 vu\nFrom: Zo\xc3\xab <z@x.org>\n" + body,
         true},
        {"crlf",
         "Subject: crlf\r\n folded\r\nFrom: C <c@x.org>\r\nDate: 3 Mar 2026 10:00 +0000\r\n"
         "\r\nBody\r\n",
         true},
        {"no body", "Subject: headers only\nFrom: h@x.org\nDate: 3 Mar 2026 10:00 +0000\n", true},
        {"no body, no final newline", "From: h@x.org\nSubject: cut", true},
        {"no headers", "\nJust a body\n", true},
        {"plain forms, read without GMime",
         "Subject:   spaced  out  \nFrom: Ann Sender <ann@sender.example>\n"
         "From: \"Ann Sender\" <a@b.c>\nFrom: a+b@c.d\nFrom: A.B <a@b.c>\nFrom: Ann<a@b.c>\n"
         "From: <a@b.c>\nContent-Type: text/plain; charset=us-ascii\n" +
             body,
         true},
        {"near plain forms",
         "Subject:\tTabbed \"q\" (c)\nFrom: a@xn--bcher-kva.example\nFrom: Ann <a.@b.c>\n"
         "From: \"Ann, X\" <a@b.c>\nFrom: a@b@c\nFrom: Ann  Two <a@b.c>\nFrom: O'Brien <o@b.c>\n"
         "Content-Type: Multipart/Report; report-type=delivery-status; boundary=x\n" +
             body,
         true},
        {"calendar", "Content-Type: text/calendar; method=REQUEST\nSubject: m\n" + body, true},
        {"calendar without method", "Content-Type: text/calendar\n" + body, true},
        {"multipart, first type counts",
         "Content-type: multipart/alternative; boundary=x\nContent-Type: text/plain\n" + body,
         true},
        {"folded type", "Content-Type: text/plain;\n charset=\"x-multipart\"\n" + body, true},
        {"dates in the common form", "Date: Sat, 29 Feb 2020 23:59:59 -1130\nSubject: a\n" + body,
         true},
        {"dates in the common form, no weekday, no seconds",
         "Date: 9 Dec 2099 07:05 +1400\n" + body, true},
        {"epoch", "Date: Thu, 01 Jan 1970 00:00:00 +0000\n" + body, true},
        {"no such day", "Date: Mon, 31 Apr 2021 10:00:00 +0000\n" + body, true},
        {"bad hour", "Date: Fri, 5 Jun 2020 25:00:00 +0000\n" + body, true},
        {"two-digit year", "Date: 5 Jun 20 10:00:00 +0000\n" + body, true},
        {"zone comment", "Date: Wed, 10 Jun 2020 10:00:00 +0200 (CEST)\n" + body, true},
        {"zone name", "Date: Wed, 10 Jun 2020 10:00:00 EST\n" + body, true},
        {"lower-case month", "Date: 10 jun 2020 10:00:00 +0000\n" + body, true},
        {"leap second", "Date: 10 Jun 2020 10:00:60 +0000\n" + body, true},
        {"odd weekday", "Date: Xyz, 10 Jun 2020 10:00:00 +0000\n" + body, true},

        {"8-bit not utf-8, body charset",
         "Content-Type: text/plain; charset=iso-8859-2\nSubject: \xb1\xe6\xea\nFrom: \xa3ukasz "
         "<l@x.pl>\n" +
             body,
         false},
        {"8-bit not utf-8, no charset", "Subject: caf\xe9\nFrom: Ren\xe9 <r@x.fr>\n" + body, false},
        {"line that is not a field", "Subject: before\nnot a field\nSubject: after\n" + body,
         false},
        {"space before colon", "Subject : spaced\nFrom: a@x.org\n" + body, false},
        {"mbox From line", "From a@x.org Tue Mar  3 10:00:00 2026\nSubject: mbox\n" + body, false},
        {"bare CR", "Subject: bare\rCR\nFrom: a@x.org\n" + body, false},
        {"continuation first", " Subject: indented\nFrom: a@x.org\n" + body, false},
    };
}

QString write(const QTemporaryDir& dir, int index, const QByteArray& bytes)
{
    const QString name = QStringLiteral("%1.M1P1.host:2,S").arg(1700000000 + index);
    QFile file(dir.filePath(QStringLiteral("cur/") + name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return name;
}

bool sameAddresses(const QList<MailAddress>& a, const QList<MailAddress>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].address != b[i].address)
            return false;
    }
    return true;
}

} // namespace

TEST(MessageHeaderFields, ReadWithoutParseAsTheFullParseReadsThem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("cur")));
    const QList<Case> cases = awkwardHeaders();
    for (int i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const QString name = write(dir, i, c.message);
        const MessageEntry entry{name, false, true};

        MessageFile parsedFile(dir.path(), entry);
        const MessageHeaders* parsed = parsedFile.headers(nullptr);
        ASSERT_NE(parsed, nullptr);

        MessageFile file(dir.path(), entry);
        ASSERT_TRUE(file.loadHeaderBlock(nullptr));
        EXPECT_EQ(file.sentOnMsecs(nullptr), parsed->dateMsecs);
        EXPECT_EQ(file.subject(nullptr), parsed->subject);
        const std::optional<QList<MailAddress>> from = file.from(nullptr);
        ASSERT_TRUE(from);
        EXPECT_TRUE(sameAddresses(*from, parsed->from));
        // The fields above came without a parse exactly when the block allows it.
        const std::optional<QByteArray> block =
            readHeaderBlock(dir.filePath(QStringLiteral("cur/") + name), nullptr);
        ASSERT_TRUE(block);
        EXPECT_EQ(file.kind(nullptr), MessageHeaders::kindOf(*block));
        EXPECT_EQ(HeaderFields(*block).readable(), c.light);
    }
}
