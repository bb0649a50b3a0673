#include "MsgReaders.h"

#include "platform/msg/GMimeSupport.h"
#include "platform/msg/HeaderText.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

#include <gmime/gmime.h>

namespace kestrel::test {

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

QString tool(const QString& name)
{
    return QStringLiteral(KESTREL_SHARED_DIR "/corpus/tools/") + name;
}

QByteArray run(const QString& program, const QStringList& args, const QByteArray& input = {},
               QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return {};
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(300000);
    return p.readAllStandardOutput();
}

QJsonObject parseObject(const QByteArray& line)
{
    return QJsonDocument::fromJson(line.trimmed()).object();
}

void walk(GMimeObject* object, MimeSummary& s, int depth)
{
    if (depth > 30)
        return;
    if (GMIME_IS_MESSAGE_PART(object)) {
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        s.embeddedSubjects << (inner ? platform::msg::decodeHeaderText(
                                           platform::msg::rawHeader(GMIME_OBJECT(inner), "Subject"))
                                     : QString());
        GMimeStream* stream = g_mime_stream_mem_new();
        if (inner)
            g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, stream);
        GByteArray* a = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
        s.embeddedMime << QByteArray(reinterpret_cast<const char*>(a->data), a->len);
        g_object_unref(stream);
        return;
    }
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* m = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(m); ++i)
            walk(g_mime_multipart_get_part(m, i), s, depth + 1);
        return;
    }
    if (!GMIME_IS_PART(object))
        return;
    GMimePart* part = GMIME_PART(object);
    const char* filename = g_mime_part_get_filename(part);
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!filename && GMIME_IS_TEXT_PART(object)) {
        char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
        const QString t = QString::fromUtf8(text ? text : "");
        g_free(text);
        if (g_mime_content_type_is_type(type, "text", "plain") && s.text.isEmpty()) {
            s.text = t;
            return;
        }
        if (g_mime_content_type_is_type(type, "text", "html") && s.html.isEmpty()) {
            s.html = t;
            return;
        }
        if (g_mime_content_type_is_type(type, "text", "rtf")) {
            GMimeStream* stream = g_mime_stream_mem_new();
            if (GMimeDataWrapper* content = g_mime_part_get_content(part))
                g_mime_data_wrapper_write_to_stream(content, stream);
            GByteArray* a = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
            if (s.rtf.isEmpty())
                s.rtf = QByteArray(reinterpret_cast<const char*>(a->data), a->len);
            g_object_unref(stream);
            return;
        }
    }
    GMimeStream* stream = g_mime_stream_mem_new();
    if (GMimeDataWrapper* content = g_mime_part_get_content(part))
        g_mime_data_wrapper_write_to_stream(content, stream);
    GByteArray* a = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    const QByteArray data(reinterpret_cast<const char*>(a->data), a->len);
    g_object_unref(stream);
    s.attachments << qMakePair(QString::fromUtf8(filename ? filename : ""), qint64(data.size()));
    s.attachmentData << data;
}

QStringList mailboxes(InternetAddressList* list)
{
    QStringList out;
    for (int i = 0; list && i < internet_address_list_length(list); ++i) {
        InternetAddress* a = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(a))
            out << QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a)))
                       .toLower();
        else if (INTERNET_ADDRESS_IS_GROUP(a))
            out << mailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(a)));
    }
    return out;
}

} // namespace

QMap<QString, QJsonObject> msgInfo(const QStringList& paths)
{
    QMap<QString, QJsonObject> out;
    const QByteArray text = run(Python, QStringList{tool(QStringLiteral("msginfo.py"))} + paths);
    for (const QByteArray& line : text.split('\n')) {
        const QJsonObject o = parseObject(line);
        if (!o.isEmpty())
            out[o.value(QStringLiteral("file")).toString()] = o;
    }
    return out;
}

QString msgReaderModules()
{
    return QStringLiteral(KESTREL_SOURCE_DIR "/build/npm/node_modules");
}

std::optional<QMap<QString, QJsonObject>> msgDump(const QStringList& paths)
{
    if (!QDir(msgReaderModules() + QStringLiteral("/@kenjiuno/msgreader")).exists())
        return std::nullopt;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NODE_PATH"), msgReaderModules());
    const QByteArray text = run(QStringLiteral("node"),
                                QStringList{tool(QStringLiteral("msgdump.js"))} + paths, {}, env);
    QMap<QString, QJsonObject> out;
    QString current;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith("== ")) {
            current = QString::fromUtf8(line.mid(3));
        } else if (!current.isEmpty() && line.startsWith('{')) {
            out[current] = parseObject(line);
            current.clear();
        } else if (line.contains(": ERROR ")) {
            const QString file = QString::fromUtf8(line.left(line.indexOf(": ERROR ")));
            out[file] = QJsonObject{{QStringLiteral("error"), QString::fromUtf8(line)}};
        }
    }
    return out;
}

QByteArray msgConvert(const QString& path)
{
    return run(QStringLiteral("msgconvert"),
               {QStringLiteral("--outfile"), QStringLiteral("-"), path});
}

bool olecfinfoOpens(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("olecfinfo"), {path});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0 && p.readAllStandardOutput().contains("Root Entry");
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList addressesIn(const QStringList& texts)
{
    static const QRegularExpression re(QStringLiteral("[^\\s<>,;:\"']+@[^\\s<>,;:\"']+"));
    QStringList out;
    for (const QString& t : texts) {
        auto it = re.globalMatch(t);
        while (it.hasNext())
            out << it.next().captured(0).toLower();
    }
    return out;
}

QStringList toStringList(const QJsonValue& array)
{
    QStringList out;
    for (const QJsonValue& v : array.toArray())
        out << v.toString();
    return out;
}

QString bodyText(QString text)
{
    text.remove(QLatin1Char('\r'));
    return text.trimmed();
}

MimeSummary summarizeMime(const QByteArray& mime)
{
    g_mime_init();
    MimeSummary s;
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(mime.constData(), size_t(mime.size()));
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message)
        return s;
    s.subject =
        platform::msg::decodeHeaderText(platform::msg::rawHeader(GMIME_OBJECT(message), "Subject"));
    const char* cls = g_mime_object_get_header(GMIME_OBJECT(message), "X-Kestrel-Message-Class");
    s.messageClassHeader = QString::fromUtf8(cls ? cls : "");
    InternetAddressList* from = g_mime_message_get_from(message);
    if (from && internet_address_list_length(from) > 0) {
        InternetAddress* a = internet_address_list_get_address(from, 0);
        s.fromName =
            QString::fromUtf8(internet_address_get_name(a) ? internet_address_get_name(a) : "");
        if (INTERNET_ADDRESS_IS_MAILBOX(a))
            s.fromAddress =
                QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a)));
    }
    const QStringList sender =
        mailboxes(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_SENDER));
    s.senderAddress = sender.isEmpty() ? QString() : sender.front();
    s.to = mailboxes(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_TO));
    s.cc = mailboxes(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_CC));
    s.bcc = mailboxes(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_BCC));
    const char* date = g_mime_object_get_header(GMIME_OBJECT(message), "Date");
    s.date = QString::fromUtf8(date ? date : "");
    if (GMimeObject* body = g_mime_message_get_mime_part(message))
        walk(body, s, 0);
    g_object_unref(message);
    return s;
}

} // namespace kestrel::test
