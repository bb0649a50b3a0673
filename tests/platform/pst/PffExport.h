#pragma once

// What pffexport (pff-tools), a reader independent of the backend, finds in
// an Outlook data file: the folder tree below the top of the user's folders
// with each folder's number of items, and the facts of each message.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace kestrel::test {

// The test data of the npm package pst-extractor, or empty when it is missing.
QString pstTestFile(const QString& name);

struct PffMessage {
    QString folder; // "A\B" below the top
    QString subject;
    QString senderName;
    QString representingName; // whom the message is from
    QString headerFrom; // the From name (else address) of its Internet headers, if it has them
    QString senderEmail;
    QStringList to;                                     // lower-case addresses of the To recipients
    QDateTime delivery, submit, creation, modification; // UTC
    quint32 flags = 0;
    QList<QByteArray> attachments; // file attachments' bytes, in file order
};

struct PffExport {
    QMap<QString, int> folders; // "A\B" -> number of items; "" for the top
    QList<PffMessage> messages; // mail items (pffexport's "MessageNNNNN")

    // Runs pffexport into a temporary directory; empty (ok false) when it fails.
    static PffExport of(const QString& file, bool* ok);
};

} // namespace kestrel::test
