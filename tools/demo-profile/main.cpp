// kestrel-demo-profile DIR [--messages N] [--seed S]
// Writes a demo mail profile (DIR/profile.ini) and its three Maildir++ stores.

#include "DemoLayout.h"
#include "DemoProfileBuilder.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

namespace {

int usage(const QString& problem)
{
    QTextStream err(stderr);
    if (!problem.isEmpty())
        err << "kestrel-demo-profile: " << problem << '\n';
    err << "usage: kestrel-demo-profile DIR [--messages N] [--seed S]\n"
           "  N messages (default 3000); the first 3000 are spread over the folders of\n"
           "  the three stores, every further one goes to \"Personal Folders\\Inbox\".\n"
           "  S seeds the generator (default 1): the same N and S give the same files.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString directory;
    int messages = kestrel::demo::kDemoSpreadCount;
    quint64 seed = 1;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        bool ok = true;
        if (arg == QLatin1String("--messages") && i + 1 < args.size()) {
            messages = args.at(++i).toInt(&ok);
            ok = ok && messages >= 0;
        } else if (arg == QLatin1String("--seed") && i + 1 < args.size()) {
            seed = args.at(++i).toULongLong(&ok);
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            return usage({});
        } else if (arg.startsWith('-') || !directory.isEmpty()) {
            return usage(QStringLiteral("unexpected argument %1").arg(arg));
        } else {
            directory = arg;
        }
        if (!ok)
            return usage(QStringLiteral("bad value for %1").arg(arg));
    }
    if (directory.isEmpty())
        return usage(QStringLiteral("no directory given"));

    kestrel::demo::DemoProfileBuilder builder(directory, messages, seed);
    if (!builder.build()) {
        QTextStream(stderr) << "kestrel-demo-profile: " << builder.errorText() << '\n';
        return 1;
    }
    const kestrel::demo::DemoSummary& summary = builder.summary();
    QTextStream(stdout) << "Wrote " << summary.messages << " messages (" << summary.bytes
                        << " bytes) in " << summary.folders << " folders of 3 stores; profile "
                        << directory << "/profile.ini\n";
    return 0;
}
