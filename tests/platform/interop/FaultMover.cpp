// kestrel-fault-mover SOURCE DEST: moves every item of folder SOURCE into
// folder DEST (paths "Store\Folder\Sub") through the platform of the profile at
// $KESTREL_PROFILE, last item first. The kill fault test runs it and kills it.
// Stores may be of the test's second backend (support/ForeignBackend.h).
// Exit: 0 all moved, 1 some moves failed, 2 the folders cannot be opened.

#include "platform/MailPlatform.h"
#include "platform/PlatformRegistry.h"
#include "support/ForeignBackend.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

namespace {

std::unique_ptr<kestrel::platform::Folder> openFolder(kestrel::platform::Namespace& ns,
                                                      const QString& path)
{
    const QStringList parts = path.split('\\');
    auto stores = ns.folders();
    std::unique_ptr<kestrel::platform::Folder> folder =
        stores ? stores->item(parts.first()) : nullptr;
    for (qsizetype i = 1; folder && i < parts.size(); ++i) {
        auto children = folder->folders();
        folder = children ? children->item(parts.at(i)) : nullptr;
    }
    return folder;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 3) {
        err << "usage: kestrel-fault-mover SOURCE DEST\n";
        return 2;
    }
    auto application = kestrel::platform::createApplication(kestrel::test::withForeignBackend());
    auto ns = application ? application->getNamespace("MAPI") : nullptr;
    if (!ns || !ns->logon())
        return 2;
    auto source = openFolder(*ns, args.at(1));
    auto dest = openFolder(*ns, args.at(2));
    auto items = source ? source->items() : nullptr;
    if (!dest || !items) {
        err << "cannot open " << args.at(1) << " or " << args.at(2) << '\n';
        return 2;
    }
    int failed = 0;
    for (qint64 i = items->count().value_or(0); i >= 1; --i) {
        auto item = items->item(i);
        if (!item || !item->move(*dest)) {
            ++failed;
            err << "move " << i
                << " failed: " << (item ? item->lastError().text : items->lastError().text) << '\n';
        }
    }
    return failed == 0 ? 0 : 1;
}
