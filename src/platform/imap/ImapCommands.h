#pragma once

// The IMAP commands the backend sends, as libetpan calls with Qt types in and
// out. Each returns libetpan's code and is meant to run inside
// ImapConnection::run; a mailbox argument is the name as the server spells it
// (modified UTF-7).

#include "../MailPlatform.h"
#include "MessageSummary.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <cstdint>
#include <functional>

struct mailimap;
struct mailimap_search_key;

namespace kestrel::platform::imap {

struct MailboxInfo {
    QByteArray name; // as the server spells it
    char delimiter = 0;
    bool noSelect = false;
    bool trash = false; // the \Trash special-use folder
};

struct CopyResult {
    uint32_t validity = 0;
    bool known = false;               // the server said which UIDs became which (COPYUID)
    QHash<uint32_t, uint32_t> newUid; // source UID -> destination UID
};

int listMailboxes(mailimap* session, QList<MailboxInfo>& out);
int statusOf(mailimap* session, const QByteArray& mailbox, uint32_t* messages, uint32_t* validity);
int createMailbox(mailimap* session, const QByteArray& mailbox);
// Takes ownership of key (nullptr: ALL).
int searchUids(mailimap* session, mailimap_search_key* key, QList<uint32_t>& out);
// The UIDs of the selected mailbox among uids that are still there.
int presentUids(mailimap* session, const QList<uint32_t>& uids, QList<uint32_t>& out);
int fetchSummaries(mailimap* session, const QList<uint32_t>& uids, QList<MessageSummary>& out);
// BODY.PEEK[] with FLAGS and INTERNALDATE: whole messages, nothing marked read.
int fetchMessages(mailimap* session, const QList<uint32_t>& uids, QHash<uint32_t, RawMessage>& out);
int appendMessage(mailimap* session, const QByteArray& mailbox, const RawMessage& message,
                  uint32_t* validity, uint32_t* uid);
int moveUids(mailimap* session, const QList<uint32_t>& uids, const QByteArray& mailbox,
             CopyResult& result);
int copyUids(mailimap* session, const QList<uint32_t>& uids, const QByteArray& mailbox,
             CopyResult& result);
// +FLAGS.SILENT (\Deleted), then UID EXPUNGE of exactly those UIDs.
int storeDeleted(mailimap* session, const QList<uint32_t>& uids);
int expungeUids(mailimap* session, const QList<uint32_t>& uids);

} // namespace kestrel::platform::imap
