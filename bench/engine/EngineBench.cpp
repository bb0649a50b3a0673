#include "EngineBench.h"

#include "HeadlessRun.h"
#include "MaildirStoreWriter.h"
#include "MessageComposer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel::bench {

BenchArgs parseArgs(int argc, char** argv, int defaultMessages, const char* name)
{
    BenchArgs args;
    args.messages = defaultMessages;
    args.workDir = QDir::tempPath() + QStringLiteral("/") + QLatin1String(name);
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--messages" && i + 1 < argc) {
            args.messages = std::atoi(argv[++i]);
        } else if (arg == "--keep") {
            args.keep = true;
        } else if (arg == "--work" && i + 1 < argc) {
            args.workDir = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--rounds" && i + 1 < argc) {
            args.rounds = std::atoi(argv[++i]);
        } else {
            QTextStream(stderr) << "usage: " << name
                                << " [--messages N] [--work DIR] [--keep] [--rounds R]\n";
            std::exit(2);
        }
    }
    if (args.messages <= 0 || args.rounds <= 0) {
        QTextStream(stderr) << name << ": --messages and --rounds need a positive number\n";
        std::exit(2);
    }
    return args;
}

QDateTime rangeStart()
{
    return QDateTime(QDate(2016, 1, 1), QTime(0, 0));
}

QDateTime rangeEnd()
{
    return QDateTime(QDate(2019, 12, 31), QTime(23, 59, 59));
}

qint64 writeCorpus(const QString& storeDir, int n)
{
    demo::MaildirStoreWriter writer(storeDir);
    writer.createFolder({QStringLiteral("Inbox")});
    const qint64 first = rangeStart().toSecsSinceEpoch();
    const qint64 span = QDateTime(QDate(2024, 1, 1), QTime(0, 0)).toSecsSinceEpoch() - first;
    qint64 bytes = 0;
    for (int i = 0; i < n; ++i) {
        demo::DemoMessage m;
        m.from = {QStringLiteral("Ann Sender"), QStringLiteral("ann@sender.example")};
        m.to = {{QStringLiteral("Demo User"), QStringLiteral("demo.user@example.com")}};
        m.subject = QStringLiteral("Bench message %1").arg(i);
        m.sentUtc = first + span * i / n;
        m.messageId = QStringLiteral("<bench%1@engine.bench>").arg(i);
        m.paragraphs = 1 + i % 3;
        m.bodySeed = quint64(i);
        const QByteArray content = demo::MessageComposer::compose(m);
        demo::StoredFlags flags;
        flags.seen = true;
        if (!writer.writeMessage({QStringLiteral("Inbox")}, content, m.sentUtc, m.sentUtc,
                                 i % 1000000, flags))
            return -1;
        bytes += content.size();
    }
    return bytes;
}

qint64 prepareCorpus(const BenchArgs& args, const QString& storeDir, int n)
{
    const QString marker = storeDir + QStringLiteral("/corpus-size");
    QFile file(marker);
    if (args.keep && file.open(QIODevice::ReadOnly) && file.readAll().toInt() == n)
        return 0;
    file.close();
    QDir(storeDir).removeRecursively();
    const qint64 bytes = writeCorpus(storeDir, n);
    if (args.keep && file.open(QIODevice::WriteOnly))
        file.write(QByteArray::number(n));
    return bytes;
}

bool makeMaildir(const QString& dir)
{
    for (const char* sub : {"/cur", "/new", "/tmp"}) {
        if (!QDir().mkpath(dir + QLatin1String(sub)))
            return false;
    }
    return true;
}

QString writeProfile(const QString& dir, const QList<QPair<QString, QString>>& stores)
{
    QByteArray text = "[Profile]\nUserName=Demo User\nUserAddress=demo.user@example.com\n";
    for (int i = 0; i < stores.size(); ++i)
        text += "\n[Store" + QByteArray::number(i + 1) + "]\nName=" + stores.at(i).first.toUtf8() +
                "\nPath=" + stores.at(i).second.toUtf8() + '\n';
    const QString path = dir + QStringLiteral("/profile.ini");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return path;
}

bool copyTree(const QString& from, const QString& to)
{
    return QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), from, to}) == 0;
}

void clearDir(const QString& dir)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
}

EngineResult runEngine(const QString& profile, int action, bool preview, const QString& diskDir,
                       std::function<void(const engine::ItemReport&)> onItem)
{
    const test::HeadlessRunResult run = test::RunOverInbox(
        profile, action, preview, diskDir, rangeStart(), rangeEnd(), std::move(onItem));
    return {run.seconds, run.counters, run.status};
}

int headerLoop(const QString& maildir, bool readHeader, bool rename, qint64 cutoff)
{
    const QByteArray cur = QFile::encodeName(maildir + QStringLiteral("/cur/"));
    const QByteArray dest = QFile::encodeName(maildir + QStringLiteral("/.Archive/cur/"));
    DIR* dir = ::opendir(cur.constData());
    if (!dir)
        return -1;
    int inRange = 0;
    char buffer[4096];
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QByteArray from = cur + entry->d_name;
        struct stat st {};
        if (::stat(from.constData(), &st) != 0 || st.st_mtime >= cutoff)
            continue;
        if (readHeader) {
            const int fd = ::open(from.constData(), O_RDONLY);
            if (fd < 0 || ::read(fd, buffer, sizeof buffer) < 0) {
                if (fd >= 0)
                    ::close(fd);
                continue;
            }
            ::close(fd);
        }
        if (!rename || ::rename(from.constData(), (dest + entry->d_name).constData()) == 0)
            ++inRange;
    }
    ::closedir(dir);
    return inRange;
}

double medianOf(std::vector<double> seconds)
{
    if (seconds.empty())
        return 0;
    std::sort(seconds.begin(), seconds.end());
    const std::size_t middle = seconds.size() / 2;
    return seconds.size() % 2 ? seconds[middle] : (seconds[middle - 1] + seconds[middle]) / 2;
}

QByteArray listOf(const std::vector<double>& seconds)
{
    QByteArray text;
    for (const double s : seconds)
        text += (text.isEmpty() ? "" : " / ") + QByteArray::number(s, 'f', 2);
    return text;
}

double secondsOf(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double peakRssMiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

} // namespace kestrel::bench
