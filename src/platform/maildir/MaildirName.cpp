#include "MaildirName.h"

#include "../FolderPath.h"
#include "NativeName.h"

#include <QByteArray>

namespace kestrel::platform::maildir {

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

int base64Value(char c)
{
    const char* p = std::char_traits<char>::find(kBase64, 64, c);
    return p ? int(p - kBase64) : -1;
}

void flushShifted(QString& out, const QString& run)
{
    if (run.isEmpty())
        return;
    QByteArray utf16;
    for (QChar ch : run) {
        utf16.append(char(ch.unicode() >> 8));
        utf16.append(char(ch.unicode() & 0xff));
    }
    out += '&';
    quint32 bits = 0;
    int count = 0;
    for (unsigned char byte : utf16) {
        bits = (bits << 8) | byte;
        count += 8;
        while (count >= 6) {
            count -= 6;
            out += QLatin1Char(kBase64[(bits >> count) & 0x3f]);
        }
    }
    if (count > 0)
        out += QLatin1Char(kBase64[(bits << (6 - count)) & 0x3f]);
    out += '-';
}

} // namespace

QString encodeModifiedUtf7(const QString& text)
{
    QString out;
    QString run;
    for (QChar ch : text) {
        const ushort u = ch.unicode();
        if (u >= 0x20 && u <= 0x7e) {
            flushShifted(out, run);
            run.clear();
            out += (u == '&') ? QStringLiteral("&-") : QString(ch);
        } else {
            run += ch;
        }
    }
    flushShifted(out, run);
    return out;
}

QString decodeModifiedUtf7(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch != '&') {
            if (ch.unicode() < 0x20 || ch.unicode() > 0x7e)
                return {};
            out += ch;
            continue;
        }
        const qsizetype end = text.indexOf('-', i + 1);
        if (end < 0)
            return {};
        if (end == i + 1) {
            out += '&';
            i = end;
            continue;
        }
        quint32 bits = 0;
        int count = 0;
        QByteArray utf16;
        for (qsizetype k = i + 1; k < end; ++k) {
            const int v = base64Value(text.at(k).toLatin1());
            if (v < 0)
                return {};
            bits = (bits << 6) | quint32(v);
            count += 6;
            if (count >= 8) {
                count -= 8;
                utf16.append(char((bits >> count) & 0xff));
            }
        }
        if (utf16.size() % 2 != 0)
            return {};
        for (qsizetype k = 0; k < utf16.size(); k += 2)
            out += QChar(ushort((uchar(utf16[k]) << 8) | uchar(utf16[k + 1])));
        i = end;
    }
    if (out.isNull())
        out = QLatin1String("");
    return out;
}

QString encodeFolderComponent(const QString& displayName)
{
    QString escaped;
    for (QChar ch : displayName) {
        if (ch == '%')
            escaped += QStringLiteral("%25");
        else if (ch == '.')
            escaped += QStringLiteral("%2E");
        else if (ch == '/')
            escaped += QStringLiteral("%2F");
        else
            escaped += ch;
    }
    return encodeModifiedUtf7(escaped);
}

QString decodeFolderComponent(const QString& onDisk)
{
    const QString text = decodeModifiedUtf7(onDisk);
    if (text.isNull())
        return {};
    // Only the forms encodeFolderComponent writes: "%2f" and "%5C" stay as they are.
    return decodePercentEscapes(text, u"%./");
}

bool isUsableFolderName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..");
}

QString folderDisplayName(const QString& onDisk, bool* canonical)
{
    QString name = hasRawBytes(onDisk) ? QString() : decodeFolderComponent(onDisk);
    if (name.isNull() || !name.isValidUtf16()) {
        *canonical = false;
        name = visibleName(onDisk);
    } else {
        *canonical = encodeFolderComponent(name) == onDisk;
    }
    if (!isUsableFolderName(name)) {
        *canonical = false;
        name = name.isEmpty() ? QStringLiteral("(unnamed)")
                              : QString(name).replace('.', QLatin1String("%2E"));
    }
    return name;
}

} // namespace kestrel::platform::maildir
