// kestrel-engine-fault-child PROFILE [DISK_DIR]
// Moves every message of the first store's Inbox through the real engine:
// into the second store, or into DISK_DIR as .msg files. The fault test
// kills it at random moments.

#include "HeadlessRun.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: kestrel-engine-fault-child PROFILE [DISK_DIR]\n";
        return 2;
    }
    const kestrel::test::HeadlessRunResult result = kestrel::test::RunOverInbox(
        args.at(1), 0, false, args.value(2), QDateTime(QDate(1990, 1, 1), QTime(0, 0)),
        QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)));
    if (!result.opened)
        return 3;
    QTextStream(stdout) << result.status << '\n';
    return 0;
}
