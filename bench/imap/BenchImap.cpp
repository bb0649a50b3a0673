// kestrel-bench-imap [--messages N] [--delay-ms D] [--rounds R]: N messages in a Dovecot
// INBOX, half of them received before 2020; a Move of that half into
// "Archive/Inbox" of the same server through the real engine, beside a minimal
// client (one UID SEARCH BEFORE, one UID MOVE), with no added delay and with
// D ms of round trip added by a relay between client and server; the best of
// R rounds of each (the machine is shared).

#include "DelayRelay.h"
#include "DemoMessage.h"
#include "ImapTestServer.h"
#include "MessageComposer.h"
#include "MinimalClient.h"
#include "QuietView.h"
#include "engine/SettingsReader.h"
#include "engine/SoundPlayer.h"
#include "engine/TaskRunner.h"
#include "engine/TaskSettings.h"
#include "platform/PlatformRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace kestrel;

namespace {

const QDate kCut(2020, 1, 1);

class DefaultSettings : public engine::SettingsReader {
public:
    QString readSetting(const QString&, const QString&, const QString& value) const override
    {
        return value;
    }
};

class NoSound : public engine::SoundPlayer {
public:
    void playAsync(const QString&) override {}
};

struct EngineMove {
    bool ok = false;
    qint64 moved = 0;
    qint64 failed = 0;
    double seconds = 0;      // the run
    double logonSeconds = 0; // opening the profile and the folders, before the run
    double closeSeconds = 0; // logging off and closing, after it
    QString status;
};

// Received times evenly over 2016..2023: the first half before the cut.
QList<test::MessageSpec> corpus(int n)
{
    const qint64 first = QDateTime(QDate(2016, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    const qint64 span = QDateTime(QDate(2024, 1, 1), QTime(0, 0)).toSecsSinceEpoch() - first;
    QList<test::MessageSpec> specs;
    specs.reserve(n);
    for (int i = 0; i < n; ++i) {
        demo::DemoMessage m;
        m.from = {QStringLiteral("Ann Sender"), QStringLiteral("ann@sender.example")};
        m.to = {{QStringLiteral("Demo User"), QStringLiteral("demo.user@example.com")}};
        m.subject = QStringLiteral("Bench message %1").arg(i);
        m.sentUtc = first + span * i / n;
        m.messageId = QStringLiteral("<bench%1@imap.bench>").arg(i);
        m.paragraphs = 1 + i % 3;
        m.bodySeed = quint64(i);
        test::MessageSpec spec;
        spec.raw = demo::MessageComposer::compose(m);
        spec.received = QDateTime::fromSecsSinceEpoch(m.sentUtc);
        specs.append(spec);
    }
    return specs;
}

QString writeProfile(const QString& dir, const test::ImapTestServer& server, int port)
{
    const QByteArray text = "[Profile]\nUserName=Demo User\nUserAddress=demo.user@example.com\n"
                            "DefaultStore=Server\n\n[Store1]\nName=Server\nType=imap\n"
                            "Host=127.0.0.1\nPort=" +
                            QByteArray::number(port) +
                            "\nSecurity=none\nUser=" + server.user().toUtf8() +
                            "\nPasswordCommand=echo '" + server.password().toUtf8() + "'\n";
    const QString path = dir + QStringLiteral("/profile.ini");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return path;
}

// Server\Inbox into Server\Archive\Inbox by received time, unread included.
EngineMove engineMove(const QString& profile)
{
    EngineMove run;
    QElapsedTimer opening;
    opening.start();
    qputenv("KESTREL_PROFILE", QFile::encodeName(profile));
    std::unique_ptr<platform::Application> application = platform::createApplication();
    std::unique_ptr<platform::Namespace> ns =
        application ? application->getNamespace(QStringLiteral("MAPI")) : nullptr;
    if (!ns || !ns->logon()) {
        run.status = ns ? ns->lastError().text : QStringLiteral("no namespace");
        return run;
    }
    std::unique_ptr<platform::Session> session = ns->openSession();
    std::unique_ptr<platform::FolderCollection> stores = ns->folders();
    engine::TaskSettings settings;
    settings.SourceRoot = stores ? stores->item(1) : nullptr;
    std::unique_ptr<platform::FolderCollection> top =
        settings.SourceRoot ? settings.SourceRoot->folders() : nullptr;
    settings.ArchiveRoot = top ? top->item(QStringLiteral("Archive")) : nullptr;
    if (!session || !settings.ArchiveRoot) {
        run.status = QStringLiteral("the store or its Archive folder cannot be opened");
        return run;
    }
    run.logonSeconds = double(opening.nsecsElapsed()) / 1e9;
    settings.Action = 0;
    settings.StartDate = QDateTime(QDate(2000, 1, 1), QTime(0, 0));
    settings.EndDate = QDateTime(kCut.addDays(-1), QTime(23, 59, 59));
    settings.IncludeUnread = true;

    test::QuietView view;
    NoSound sound;
    DefaultSettings reader;
    engine::TaskRunner runner(view, sound, reader, QDir::tempPath());
    QElapsedTimer timer;
    timer.start();
    runner.Run(settings, 0, *ns, session.get(),
               {{QStringLiteral("Inbox"), QStringLiteral("\\\\Server\\Inbox"), true}});
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.moved = runner.counters().ProcessedCount;
    run.failed = runner.counters().FailedCount;
    run.status = view.status;
    run.ok = true;
    timer.restart();
    ns->logoff();
    settings = {};
    session.reset();
    stores.reset();
    ns.reset();
    application.reset();
    run.closeSeconds = double(timer.nsecsElapsed()) / 1e9;
    return run;
}

// INBOX holds the whole corpus again and the archive folder is there, empty.
bool reset(test::ImapTestServer& server)
{
    if (!server.mailboxes().contains(QStringLiteral("Archive/Inbox")) &&
        !server.createMailbox(QStringLiteral("Archive/Inbox")))
        return false;
    for (const char* mailbox : {"INBOX", "Archive/Inbox"}) {
        if (!server.doveadm({"expunge", "mailbox", mailbox, "all"}).ok())
            return false;
    }
    return server.doveadm({"copy", "INBOX", "mailbox", "Corpus", "all"}).ok();
}

int archived(const test::ImapTestServer& server)
{
    return server.messageCount(QStringLiteral("Archive/Inbox")).value_or(0);
}

} // namespace

// The best of rounds runs of each contender at one added round-trip time;
// false when the server cannot be set up for a run.
bool measure(test::ImapTestServer& server, int delay, int rounds, const QString& profileDir,
             double* engineBest, double* clientBest)
{
    bench::DelayRelay relay(server.port(), delay / 2);
    if (relay.start() == 0)
        return false;
    const QString profile = writeProfile(profileDir, server, relay.port());
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        if (!reset(server))
            return false;
        std::printf("%d ms: INBOX filled again in %.2f s\n", delay,
                    double(timer.nsecsElapsed()) / 1e9);
        const EngineMove engine = engineMove(profile);
        std::printf("%d ms: engine %s: %lld moved, %lld failed, %d in the archive in %.2f s "
                    "(logon %.2f s, logoff %.2f s) [%s]\n",
                    delay, engine.ok ? "ran" : "did not run", engine.moved, engine.failed,
                    archived(server), engine.seconds, engine.logonSeconds, engine.closeSeconds,
                    qPrintable(engine.status));
        if (engine.ok && (*engineBest < 0 || engine.seconds < *engineBest))
            *engineBest = engine.seconds;

        if (!reset(server))
            return false;
        const bench::MinimalMove client =
            bench::searchAndMove(relay.port(), server.user(), server.password(),
                                 QStringLiteral("INBOX"), QStringLiteral("Archive/Inbox"), kCut);
        std::printf("%d ms: minimal client: %d moved, %d in the archive in %.2f s %s\n", delay,
                    client.moved, archived(server), client.seconds, qPrintable(client.error));
        if (client.ok && (*clientBest < 0 || client.seconds < *clientBest))
            *clientBest = client.seconds;
    }
    return true;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int messages = 2000;
    int delayMs = 20;
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--messages" && i + 1 < argc) {
            messages = std::atoi(argv[++i]);
        } else if (arg == "--delay-ms" && i + 1 < argc) {
            delayMs = std::atoi(argv[++i]);
        } else if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: kestrel-bench-imap [--messages N] [--delay-ms D] [--rounds R]\n");
            return 2;
        }
    }
    if (messages <= 0 || delayMs < 0 || rounds <= 0) {
        std::fprintf(stderr, "kestrel-bench-imap: --messages > 0, --delay-ms >= 0, --rounds > 0\n");
        return 2;
    }

    test::ImapTestServer server;
    QElapsedTimer timer;
    timer.start();
    if (!server.start() || !server.deliver(QStringLiteral("Corpus"), corpus(messages))) {
        std::fprintf(stderr, "cannot prepare the server: %s\n", qPrintable(server.lastError()));
        return 1;
    }
    std::printf("server: %d messages delivered in %.2f s\n", messages,
                double(timer.nsecsElapsed()) / 1e9);

    const QTemporaryDir profileDir;
    QString line =
        QStringLiteral("imap move %1 (half before the cut), best of %2:").arg(messages).arg(rounds);
    for (const int delay : {0, delayMs}) {
        double engine = -1;
        double client = -1;
        if (!measure(server, delay, rounds, profileDir.path(), &engine, &client)) {
            std::fprintf(stderr, "cannot set up the runs at %d ms: %s\n", delay,
                         qPrintable(server.lastError()));
            return 1;
        }
        line +=
            QStringLiteral(" %1 ms: engine %2, client %3 s, engine/client %4;")
                .arg(delay)
                .arg(engine < 0 ? QStringLiteral("n/a") : QString::number(engine, 'f', 2) + " s")
                .arg(client, 0, 'f', 2)
                .arg(engine < 0 || client <= 0 ? QStringLiteral("n/a")
                                               : QString::number(engine / client, 'f', 1));
    }
    std::printf("%s target at %d ms: engine/client <= 3\n", qPrintable(line), delayMs);
    return 0;
}
