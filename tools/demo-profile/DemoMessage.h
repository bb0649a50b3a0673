#pragma once

#include <QList>
#include <QString>

#include <cstdint>

namespace kestrel::demo {

enum class DemoKind { Plain, Html, Attachment, Report, Meeting };

struct DemoPerson {
    QString name;
    QString address;
};

// Everything that decides the bytes of one generated message.
struct DemoMessage {
    DemoKind kind = DemoKind::Plain;
    DemoPerson from;
    QList<DemoPerson> to;
    QList<DemoPerson> cc;
    QString subject;
    qint64 sentUtc = 0; // seconds since the epoch
    int utcOffsetMinutes = 0;
    QString messageId;
    int paragraphs = 1;
    int attachmentBytes = 0;
    QString attachmentName;
    std::uint64_t bodySeed = 0;
};

} // namespace kestrel::demo
