#pragma once

// The independent .msg readers the tests hold our files against, and a small
// GMime summary of a MIME message.

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::test {

// python3-olefile: one JSON object per file, keyed by path.
QMap<QString, QJsonObject> msgInfo(const QStringList& paths);
// @kenjiuno/msgreader: the top-level JSON line per file; nullopt when the npm
// package is not installed.
std::optional<QMap<QString, QJsonObject>> msgDump(const QStringList& paths);
QString msgReaderModules();
// msgconvert's MIME of the file.
QByteArray msgConvert(const QString& path);
bool olecfinfoOpens(const QString& path);

QByteArray readFile(const QString& path);
// Lower-case addresses found in a list of address texts.
QStringList addressesIn(const QStringList& texts);
QStringList toStringList(const QJsonValue& array);
// A body as readers are compared on it: without carriage returns, trimmed.
QString bodyText(QString text);

struct MimeSummary {
    QString messageClassHeader;
    QString subject;
    QString fromName;
    QString fromAddress;
    QString senderAddress;
    QStringList to, cc, bcc;                   // lower-case addresses
    QString text;                              // first text/plain body
    QString html;                              // first text/html body
    QByteArray rtf;                            // first text/rtf body
    QList<QPair<QString, qint64>> attachments; // file name, decoded size
    QList<QByteArray> attachmentData;
    QStringList embeddedSubjects;
    QList<QByteArray> embeddedMime;
    QString date;
};
MimeSummary summarizeMime(const QByteArray& mime);

} // namespace kestrel::test
