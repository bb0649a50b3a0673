// kestrel-msgconv IN OUT: converts an .eml file to an Outlook .msg file or back,
// chosen by the file extensions, with the same codec the archiver uses.

#include "platform/MsgCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

using namespace kestrel::platform;

namespace {

int failWith(const QString& text)
{
    std::fprintf(stderr, "kestrel-msgconv: %s\n", qPrintable(text.simplified()));
    return 1;
}

QString describe(const PlatformError& error)
{
    return error.detail.isEmpty() ? error.text : error.text + QStringLiteral(": ") + error.detail;
}

int emlToMsg(const QString& in, const QString& out)
{
    QFile file(in);
    if (!file.open(QIODevice::ReadOnly))
        return failWith(QStringLiteral("cannot open %1: %2").arg(in, file.errorString()));
    msg::MsgEnvelope envelope;
    envelope.mime = file.readAll();
    if (envelope.mime.trimmed().isEmpty())
        return failWith(QStringLiteral("%1 is empty").arg(in));
    // The file's time stands in for the received time a store would know.
    envelope.receivedTime = QFileInfo(in).lastModified().toUTC();
    PlatformError error;
    if (!msg::writeMsgFile(envelope, out, &error))
        return failWith(describe(error));
    return 0;
}

int msgToEml(const QString& in, const QString& out)
{
    PlatformError error;
    auto envelope = msg::readMsgFile(in, &error);
    if (!envelope)
        return failWith(describe(error));
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(envelope->mime) != envelope->mime.size() ||
        !file.commit())
        return failWith(QStringLiteral("cannot write %1: %2").arg(out, file.errorString()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestrel-msgconv IN.eml OUT.msg | IN.msg OUT.eml\n");
        return 2;
    }
    const QString in = QFile::decodeName(argv[1]);
    const QString out = QFile::decodeName(argv[2]);
    const QString inExt = QFileInfo(in).suffix().toLower();
    const QString outExt = QFileInfo(out).suffix().toLower();
    if (inExt == QLatin1String("eml") && outExt == QLatin1String("msg"))
        return emlToMsg(in, out);
    if (inExt == QLatin1String("msg") && outExt == QLatin1String("eml"))
        return msgToEml(in, out);
    return failWith(
        QStringLiteral("cannot tell the direction: give IN.eml OUT.msg or IN.msg OUT.eml"));
}
