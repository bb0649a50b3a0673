#include "MessageComposer.h"

#include "DemoRandom.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <QTimeZone>

namespace kestrel::demo {

namespace {

const QStringList kWords = {
    "archive",  "budget",   "meeting", "review",   "contract", "schedule", "invoice",
    "delivery", "project",  "quarter", "report",   "draft",    "customer", "agenda",
    "minutes",  "proposal", "release", "estimate", "timeline", "shipment", "payment",
    "follow",   "update",   "please",  "attached", "thanks",   "question", "office",
    "travel",   "the",      "a",       "we",       "our",      "team",     "will",
    "should",   "before",   "after",   "next",     "week",     "friday",   "monday",
    "numbers",  "figures",  "approve", "confirm",  "send",     "check",    "regards"};

QByteArray wrapped(const QByteArray& text, int width)
{
    QByteArray out;
    for (int i = 0; i < text.size(); i += width)
        out += text.mid(i, width) + '\n';
    return out;
}

QByteArray paragraphText(DemoRandom& random)
{
    QByteArray out;
    int column = 0;
    const int sentences = int(random.between(2, 6));
    for (int s = 0; s < sentences; ++s) {
        const int words = int(random.between(5, 16));
        for (int w = 0; w < words; ++w) {
            QByteArray word = random.pick(kWords).toLatin1();
            if (w == 0)
                word[0] = char(QChar::toUpper(word[0]));
            if (w == words - 1)
                word += '.';
            if (column + word.size() + 1 > 72) {
                out += '\n';
                column = 0;
            } else if (column > 0) {
                out += ' ';
                ++column;
            }
            out += word;
            column += int(word.size());
        }
    }
    return out + '\n';
}

QByteArray bodyText(const DemoMessage& message, DemoRandom& random)
{
    QByteArray out = "Hello " + message.to.value(0).name.section(' ', 0, 0).toUtf8() + ",\n\n";
    for (int p = 0; p < message.paragraphs; ++p)
        out += paragraphText(random) + '\n';
    return out + "Regards,\n" + message.from.name.toUtf8() + '\n';
}

QByteArray htmlText(const QByteArray& plain)
{
    QByteArray html = "<!DOCTYPE html>\n<html><body>\n";
    for (const QByteArray& para : plain.split('\n')) {
        if (!para.isEmpty())
            html += "<p>" + QString::fromUtf8(para).toHtmlEscaped().toUtf8() + "</p>\n";
    }
    return html + "</body></html>\n";
}

QByteArray mailbox(const DemoPerson& person)
{
    bool plain = true;
    for (QChar ch : person.name)
        plain = plain && (ch.isLetterOrNumber() || ch == ' ') && ch.unicode() < 0x80;
    const QByteArray name =
        plain ? person.name.toLatin1() : MessageComposer::encodeHeaderText(person.name);
    return name + " <" + person.address.toLatin1() + '>';
}

QByteArray addressList(const QList<DemoPerson>& people)
{
    QByteArray out;
    for (const DemoPerson& person : people)
        out += (out.isEmpty() ? "" : ",\n ") + mailbox(person);
    return out;
}

QByteArray headers(const DemoMessage& message)
{
    QByteArray out = "Return-Path: <" + message.from.address.toLatin1() + ">\n";
    out += "Message-ID: <" + message.messageId.toLatin1() + ">\n";
    out +=
        "Date: " + MessageComposer::rfc5322Date(message.sentUtc, message.utcOffsetMinutes) + '\n';
    out += "From: " + mailbox(message.from) + '\n';
    out += "To: " + addressList(message.to) + '\n';
    if (!message.cc.isEmpty())
        out += "Cc: " + addressList(message.cc) + '\n';
    out += "Subject: " + MessageComposer::encodeHeaderText(message.subject) + '\n';
    return out + "MIME-Version: 1.0\n";
}

QByteArray boundary(const DemoMessage& message, const char* tag)
{
    return QByteArray("=_kestrel_") + tag + '_' + QByteArray::number(message.bodySeed, 16);
}

QByteArray textPart(const QByteArray& text, const char* subtype)
{
    return QByteArray("Content-Type: text/") + subtype +
           "; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n" + text;
}

QByteArray attachmentPart(const DemoMessage& message, DemoRandom& random)
{
    QByteArray data = "%PDF-1.4\n";
    data.reserve(message.attachmentBytes);
    while (data.size() < message.attachmentBytes) {
        const std::uint64_t word = random.next();
        data.append(reinterpret_cast<const char*>(&word), sizeof word);
    }
    data.truncate(message.attachmentBytes);
    const QByteArray name = message.attachmentName.toLatin1();
    return "Content-Type: application/pdf; name=\"" + name +
           "\"\nContent-Disposition: attachment; filename=\"" + name +
           "\"\nContent-Transfer-Encoding: base64\n\n" + wrapped(data.toBase64(), 76);
}

QByteArray multipart(const QByteArray& type, const QByteArray& bound,
                     const QList<QByteArray>& parts)
{
    QByteArray out = "Content-Type: multipart/" + type + "; boundary=\"" + bound + "\"\n\n";
    out += "This is a multi-part message in MIME format.\n";
    for (const QByteArray& part : parts)
        out += "\n--" + bound + '\n' + part;
    return out + "\n--" + bound + "--\n";
}

QByteArray reportBody(const DemoMessage& message)
{
    const QByteArray date = MessageComposer::rfc5322Date(message.sentUtc, message.utcOffsetMinutes);
    const QByteArray lost = "nobody@unknown.example";
    const QByteArray notice = "This is the mail system at host mx.example.com.\n\n"
                              "I'm sorry to have to inform you that your message could not\n"
                              "be delivered to one or more recipients.\n\n<" +
                              lost + ">: host mx.example.com said: 550 5.1.1 User unknown\n";
    const QByteArray status = "Content-Type: message/delivery-status\n\n"
                              "Reporting-MTA: dns; mx.example.com\nArrival-Date: " +
                              date + "\n\nFinal-Recipient: rfc822; " + lost +
                              "\nAction: failed\nStatus: 5.1.1\n"
                              "Diagnostic-Code: smtp; 550 5.1.1 User unknown\n";
    const QByteArray original =
        "Content-Type: text/rfc822-headers\n\nFrom: " + mailbox(message.to.value(0)) + "\nTo: <" +
        lost + ">\nSubject: Shipment schedule\nDate: " + date + '\n';
    const QByteArray bound = boundary(message, "report");
    QByteArray out = "Content-Type: multipart/report; report-type=delivery-status;\n"
                     " boundary=\"" +
                     bound + "\"\n\n";
    for (const QByteArray& part : {textPart(notice, "plain"), status, original})
        out += "--" + bound + '\n' + part + '\n';
    return out + "--" + bound + "--\n";
}

QByteArray calendarStamp(qint64 utc)
{
    return QDateTime::fromSecsSinceEpoch(utc, QTimeZone::utc())
        .toString(QStringLiteral("yyyyMMdd'T'hhmmss'Z'"))
        .toLatin1();
}

QByteArray meetingBody(const DemoMessage& message)
{
    const qint64 start = message.sentUtc + 7 * 86400;
    QByteArray ics =
        "BEGIN:VCALENDAR\nPRODID:-//Kestrel//Demo//EN\nVERSION:2.0\n"
        "METHOD:REQUEST\nBEGIN:VEVENT\nUID:" +
        message.messageId.toLatin1() + "\nDTSTAMP:" + calendarStamp(message.sentUtc) +
        "\nDTSTART:" + calendarStamp(start) + "\nDTEND:" + calendarStamp(start + 3600) +
        "\nSUMMARY:" + message.subject.toUtf8() + "\nORGANIZER;CN=" + message.from.name.toUtf8() +
        ":mailto:" + message.from.address.toLatin1() + '\n';
    for (const DemoPerson& person : message.to)
        ics += "ATTENDEE;RSVP=TRUE;CN=" + person.name.toUtf8() +
               ":mailto:" + person.address.toLatin1() + '\n';
    ics += "LOCATION:Room 4.12\nEND:VEVENT\nEND:VCALENDAR\n";
    return "Content-Type: text/calendar; method=REQUEST; charset=utf-8\n"
           "Content-Transfer-Encoding: 8bit\n\n" +
           ics;
}

} // namespace

QByteArray MessageComposer::rfc5322Date(qint64 utcSeconds, int utcOffsetMinutes)
{
    const QDateTime local =
        QDateTime::fromSecsSinceEpoch(utcSeconds + utcOffsetMinutes * 60, QTimeZone::utc());
    const int offset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
    return QLocale::c().toString(local, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")).toLatin1() +
           (utcOffsetMinutes < 0 ? '-' : '+') +
           QByteArray::number(offset / 60 * 100 + offset % 60).rightJustified(4, '0');
}

QByteArray MessageComposer::encodeHeaderText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    bool ascii = true;
    for (char ch : utf8)
        ascii = ascii && uchar(ch) < 0x80;
    if (ascii)
        return utf8;
    return "=?UTF-8?B?" + utf8.toBase64() + "?=";
}

QByteArray MessageComposer::compose(const DemoMessage& message)
{
    DemoRandom random(message.bodySeed);
    const QByteArray head = headers(message);
    switch (message.kind) {
    case DemoKind::Report:
        return head + reportBody(message);
    case DemoKind::Meeting:
        return head + meetingBody(message);
    case DemoKind::Html: {
        const QByteArray plain = bodyText(message, random);
        return head + multipart("alternative", boundary(message, "alt"),
                                {textPart(plain, "plain"), textPart(htmlText(plain), "html")});
    }
    case DemoKind::Attachment:
        return head + multipart("mixed", boundary(message, "mixed"),
                                {textPart(bodyText(message, random), "plain"),
                                 attachmentPart(message, random)});
    case DemoKind::Plain:
        break;
    }
    return head + textPart(bodyText(message, random), "plain");
}

} // namespace kestrel::demo
