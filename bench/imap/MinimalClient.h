#pragma once

// The least a client can do to move a mailbox's mail received before a day
// into another mailbox: one UID SEARCH and one UID MOVE for the whole set.

#include <QDate>
#include <QString>

namespace kestrel::bench {

struct MinimalMove {
    bool ok = false;
    int moved = 0;
    double seconds = 0; // SELECT to the MOVE's answer; the login is not counted
    QString error;
};

MinimalMove searchAndMove(int port, const QString& user, const QString& password,
                          const QString& from, const QString& to, const QDate& before);

} // namespace kestrel::bench
