// kestrel-bench-msg: .msg files written and read per second, for a typical
// 20 kB message and for one with a 5 MB attachment, beside msgconvert reading
// the same files in the same run. The last line gives the smallest of the four
// read ratios over msgconvert (20 kB and 5 MB, with and without heap reuse).
//
// With --recipients N or --attachments N: seconds to write and to read back one
// message with that many recipients (one To: line each) or attachments.
//
//   kestrel-bench-msg [--messages N] [--large N] [--peer-messages N] [--peer-large N]
//   kestrel-bench-msg --recipients N | --attachments N

#include "platform/MsgCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <sys/resource.h>

using namespace kestrel::platform;

namespace {

QByteArray lorem(qsizetype size)
{
    static const QByteArray words = "archive message folder received sender outlook store date "
                                    "attachment subject recipient body quarterly report budget ";
    QByteArray out;
    while (out.size() < size) {
        out += words;
        if (out.size() % 7 == 0)
            out += '\n';
    }
    out.truncate(size);
    return out;
}

QByteArray message(qsizetype attachmentSize)
{
    const QByteArray text = lorem(6000);
    QByteArray html = "<html><body><p>" + lorem(6000) + "</p></body></html>";
    QByteArray attachment(attachmentSize, '\0');
    for (qsizetype i = 0; i < attachment.size(); ++i)
        attachment[i] = char((i * 131) % 251);
    return "From: Ann Archer <ann@example.com>\n"
           "To: Bob Baker <bob@example.com>, Carol <carol@example.net>\n"
           "Cc: team@example.org\n"
           "Subject: Quarterly figures and the draft report\n"
           "Date: Tue, 05 Mar 2024 14:15:16 +0100\n"
           "Message-ID: <bench@example.com>\n"
           "MIME-Version: 1.0\n"
           "Content-Type: multipart/mixed; boundary=\"b1\"\n\n"
           "--b1\nContent-Type: multipart/alternative; boundary=\"b2\"\n\n"
           "--b2\nContent-Type: text/plain; charset=utf-8\n\n" +
           text + "\n--b2\nContent-Type: text/html; charset=utf-8\n\n" + html +
           "\n--b2--\n--b1\nContent-Type: application/pdf; name=report.pdf\n"
           "Content-Disposition: attachment; filename=report.pdf\n"
           "Content-Transfer-Encoding: base64\n\n" +
           attachment.toBase64() + "\n--b1--\n";
}

// The machine is shared: rates come from CPU time, ours and msgconvert's alike,
// with wall-clock rates printed beside them.
struct Rates {
    double write = 0;
    double read = 0;
    double peerRead = 0;
    double readWall = 0;
    double peerReadWall = 0;
};

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

double childCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int argValue(const QStringList& args, const QString& name, int fallback)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
}

Rates measure(const QString& label, const QByteArray& mime, int count, int peerCount,
              const QString& dir, bool heapReuse)
{
    msg::MsgEnvelope envelope;
    envelope.mime = mime;
    envelope.receivedTime = QDateTime::currentDateTimeUtc();
    PlatformError error;
    Rates r;

    QElapsedTimer timer;
    timer.start();
    double cpu = cpuSeconds();
    for (int i = 0; i < count; ++i) {
        if (!msg::writeMsgFile(envelope, QStringLiteral("%1/%2-%3.msg").arg(dir, label).arg(i),
                               &error)) {
            std::fprintf(stderr, "write failed: %s\n", qPrintable(error.detail));
            std::exit(1);
        }
    }
    r.write = count / (cpuSeconds() - cpu);

    timer.restart();
    cpu = cpuSeconds();
    for (int i = 0; i < count; ++i) {
        if (!msg::readMsgFile(QStringLiteral("%1/%2-%3.msg").arg(dir, label).arg(i), &error)) {
            std::fprintf(stderr, "read failed: %s\n", qPrintable(error.detail));
            std::exit(1);
        }
    }
    r.read = count / (cpuSeconds() - cpu);
    r.readWall = count / (timer.nsecsElapsed() / 1e9);

    // msgconvert gets the same files in one process, so its start-up is paid once.
    QStringList files;
    for (int i = 0; i < std::min(peerCount, count); ++i)
        files << QStringLiteral("%1-%2.msg").arg(label).arg(i);
    QProcess peer;
    peer.setWorkingDirectory(dir);
    if (heapReuse) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MALLOC_MMAP_THRESHOLD_"), QStringLiteral("268435456"));
        env.insert(QStringLiteral("MALLOC_TRIM_THRESHOLD_"), QStringLiteral("268435456"));
        peer.setProcessEnvironment(env);
    }
    timer.restart();
    cpu = childCpuSeconds();
    peer.start(QStringLiteral("msgconvert"), files);
    if (!peer.waitForFinished(-1) || peer.exitCode() != 0) {
        std::fprintf(stderr, "msgconvert failed: %s\n", peer.readAllStandardError().constData());
        std::exit(1);
    }
    r.peerRead = files.size() / (childCpuSeconds() - cpu);
    r.peerReadWall = files.size() / (timer.nsecsElapsed() / 1e9);

    std::printf(
        "%-5s (%lld-byte .msg, %d files, msgconvert %lld): CPU time: write %.1f/s, read %.1f/s, "
        "msgconvert read %.2f/s; wall clock: read %.1f/s, msgconvert %.2f/s\n",
        qPrintable(label), qlonglong(QFile(QStringLiteral("%1/%2-0.msg").arg(dir, label)).size()),
        count, qlonglong(files.size()), r.write, r.read, r.peerRead, r.readWall, r.peerReadWall);
    std::fflush(stdout);
    return r;
}

QByteArray manyRecipientsOrAttachments(int recipients, int attachments)
{
    QByteArray mime = "From: a@example.com\nSubject: many\nMIME-Version: 1.0\n";
    for (int i = 0; i < recipients; ++i)
        mime += "To: Person " + QByteArray::number(i) + " <p" + QByteArray::number(i) +
                "@example.com>\n";
    mime += "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nbody\n";
    for (int i = 0; i < attachments; ++i)
        mime += "--b\nContent-Type: application/octet-stream\nContent-Disposition: attachment; "
                "filename=a" +
                QByteArray::number(i) + ".bin\n\ndata " + QByteArray::number(i) + "\n";
    return mime + "--b--\n";
}

int measureMany(int recipients, int attachments)
{
    msg::MsgEnvelope envelope;
    envelope.mime = manyRecipientsOrAttachments(recipients, attachments);
    PlatformError error;
    QElapsedTimer timer;
    timer.start();
    double cpu = cpuSeconds();
    const auto bytes = msg::encodeMsg(envelope, &error);
    const double writeWall = timer.nsecsElapsed() / 1e9;
    const double writeCpu = cpuSeconds() - cpu;
    if (!bytes) {
        std::printf("write refused: %s\n", qPrintable(error.detail));
        return 1;
    }
    timer.restart();
    cpu = cpuSeconds();
    const auto back = msg::decodeMsg(*bytes, &error);
    const double readWall = timer.nsecsElapsed() / 1e9;
    const double readCpu = cpuSeconds() - cpu;
    if (!back) {
        std::printf("read failed: %s\n", qPrintable(error.detail));
        return 1;
    }
    std::printf("%d recipients, %d attachments (%lld-byte .msg): write %.2f s (CPU %.2f s), "
                "read %.2f s (CPU %.2f s)\n",
                recipients, attachments, qlonglong(bytes->size()), writeWall, writeCpu, readWall,
                readCpu);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--help"))) {
        std::printf("usage: kestrel-bench-msg [--messages N] [--large N] [--peer-messages N] "
                    "[--peer-large N]\n");
        return 0;
    }
    const int recipients = argValue(args, QStringLiteral("--recipients"), 0);
    const int attachments = argValue(args, QStringLiteral("--attachments"), 0);
    if (recipients > 0 || attachments > 0)
        return measureMany(recipients, attachments);
    if (QStandardPaths::findExecutable(QStringLiteral("msgconvert")).isEmpty()) {
        std::fprintf(stderr, "msgconvert not found (libemail-outlook-message-perl)\n");
        return 1;
    }
    const int messages = argValue(args, QStringLiteral("--messages"), 300);
    const int large = argValue(args, QStringLiteral("--large"), 10);
    const int peerMessages = argValue(args, QStringLiteral("--peer-messages"), 40);
    const int peerLarge = argValue(args, QStringLiteral("--peer-large"), 4);
    // Each phase writes into a folder of its own: a .msg file is never overwritten.
    QTemporaryDir dir;
    const QString plain = dir.path() + QStringLiteral("/defaults");
    const QString reused = dir.path() + QStringLiteral("/heap-reuse");
    QDir().mkpath(plain);
    QDir().mkpath(reused);

    // First with glibc's defaults, then with large buffers kept on the heap
    // (mallopt here, the same settings by environment for msgconvert): on this
    // virtual machine a first touch of fresh memory costs more than the codec's
    // work, and multi-megabyte buffers otherwise come fresh from mmap each time.
    std::printf("glibc malloc defaults:\n");
    const Rates small =
        measure(QStringLiteral("20kB"), message(8 * 1024), messages, peerMessages, plain, false);
    const Rates big =
        measure(QStringLiteral("5MB"), message(5 * 1024 * 1024), large, peerLarge, plain, false);
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    std::printf(
        "large buffers reused on the heap (M_MMAP_THRESHOLD, M_TRIM_THRESHOLD = 256 MB):\n");
    const Rates smallHeap =
        measure(QStringLiteral("20kB"), message(8 * 1024), messages, peerMessages, reused, true);
    const Rates bigHeap =
        measure(QStringLiteral("5MB"), message(5 * 1024 * 1024), large, peerLarge, reused, true);

    std::printf("msg read vs msgconvert, CPU time: 20kB %.1f/s vs %.2f/s = %.1fx, 5MB %.1f/s vs "
                "%.2f/s = %.1fx; "
                "heap reuse: 20kB %.1fx, 5MB %.1f/s vs %.2f/s = %.1fx (target >= 20x); written/s "
                "20kB %.0f, 5MB %.1f\n",
                small.read, small.peerRead, small.read / small.peerRead, big.read, big.peerRead,
                big.read / big.peerRead, smallHeap.read / smallHeap.peerRead, bigHeap.read,
                bigHeap.peerRead, bigHeap.read / bigHeap.peerRead, small.write, big.write);
    const double ratio =
        std::min({small.read / small.peerRead, big.read / big.peerRead,
                  smallHeap.read / smallHeap.peerRead, bigHeap.read / bigHeap.peerRead});
    std::printf("ratio=%.1f\n", ratio);
    return 0;
}
