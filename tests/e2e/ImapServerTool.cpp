// kestrel-imap-test-server: a throw-away Dovecot for the end-to-end run of the
// real program. Puts mail into "Projects" (some received in 2019 to 2021, some
// now), prints one JSON line with the server's address and the counts, then
// answers lines on stdin until "quit" or the end of input:
//   count MAILBOX          the server's messages in MAILBOX
//   local MAILBOX MAILDIR  doveadm's count of MAILBOX in the Maildir++ tree
// and prints -1 for a count it cannot get. Exits 77 when dovecot is missing.

#include "DoveadmHarness.h"
#include "ImapTestServer.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

using namespace kestrel::test;

namespace {

constexpr int kOld = 15;
constexpr int kRecent = 9;

QList<MessageSpec> projectMail()
{
    QList<MessageSpec> mail;
    const QDateTime now = QDateTime::currentDateTime().addSecs(-60);
    for (int i = 0; i < kOld + kRecent; ++i) {
        MessageSpec spec;
        spec.date = i < kOld ? QDateTime(QDate(2019, 2, 1), QTime(10, 30)).addDays(i * 53) : now;
        spec.subject = QStringLiteral("Project report %1").arg(i + 1);
        spec.body = QByteArray("Figures for the quarter.\n").repeated(20 + i * 7);
        mail.append(spec);
    }
    return mail;
}

void answer(int count)
{
    std::printf("%d\n", count);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (ImapTestServer::executable().isEmpty() || DoveadmHarness::executable().isEmpty()) {
        std::fprintf(stderr, "dovecot is not installed\n");
        return 77;
    }
    ImapTestServer server;
    if (!server.start() || !server.deliver(QStringLiteral("Projects"), projectMail()) ||
        !server.deliver(QStringLiteral("INBOX"), {MessageSpec{}})) {
        std::fprintf(stderr, "%s\n", qPrintable(server.lastError()));
        return 1;
    }
    const QJsonObject about{{"host", server.host()},
                            {"port", server.port()},
                            {"user", server.user()},
                            {"password", server.password()},
                            {"mailbox", QStringLiteral("Projects")},
                            {"inRange", kOld},
                            {"outOfRange", kRecent}};
    std::printf("%s\n", QJsonDocument(about).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);

    QTextStream in(stdin);
    QString line;
    while (in.readLineInto(&line) && line != QLatin1String("quit")) {
        const QStringList words = line.split(QLatin1Char(' '));
        if (words.value(0) == QLatin1String("count") && words.size() == 2) {
            answer(server.messageCount(words[1]).value_or(-1));
        } else if (words.value(0) == QLatin1String("local") && words.size() >= 3) {
            const QString maildir = line.section(QLatin1Char(' '), 2);
            TempDir work;
            DoveadmHarness doveadm(work.path());
            const std::optional<int> count =
                doveadm.useCopyOf(maildir) ? doveadm.messageCount(words[1]) : std::nullopt;
            if (!count)
                std::fprintf(stderr, "doveadm: %s\n", qPrintable(doveadm.lastError()));
            answer(count.value_or(-1));
        } else {
            answer(-1);
        }
    }
    return 0;
}
