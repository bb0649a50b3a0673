#include "DemoLayout.h"

namespace kestrel::demo {

namespace {

DemoFolder mail(int store, const QString& path, int weight, FolderRole role = FolderRole::Received,
                bool archived = false)
{
    return {store, path.split('\\'), 0, weight, role, archived};
}

DemoFolder other(int store, const QString& path, int itemType)
{
    return {store, {path}, itemType, 0, FolderRole::NotMail, false};
}

} // namespace

const QList<DemoStore>& demoStores()
{
    static const QList<DemoStore> stores = {{QStringLiteral("Personal Folders"), "personal"},
                                            {QStringLiteral("Archive"), "archive"},
                                            {QStringLiteral("Projects"), "projects"}};
    return stores;
}

const QList<DemoFolder>& demoFolders()
{
    static const QList<DemoFolder> folders = {
        mail(0, "Inbox", 30),
        mail(0, "Inbox\\Clients", 3),
        mail(0, "Inbox\\Clients\\Acme", 4),
        mail(0, "Inbox\\Clients\\Acme\\Invoices", 5, FolderRole::Invoices),
        mail(0, "Inbox\\Clients\\Globex", 3),
        mail(0, "Sent Items", 12, FolderRole::Sent),
        mail(0, "Deleted Items", 2),
        mail(0, "Newsletters", 6, FolderRole::Newsletter),
        mail(0, "Q1/Q2 Reports", 4),
        mail(0, QStringLiteral("Réunions Zürich"), 4),
        other(0, "Calendar", 1),
        other(0, "Contacts", 2),
        mail(1, "Inbox", 6, FolderRole::Received, true),
        mail(1, "Inbox\\Clients\\Acme", 2, FolderRole::Received, true),
        mail(1, "Sent Items", 3, FolderRole::Sent, true),
        mail(1, "Old Projects", 2, FolderRole::Received, true),
        mail(2, "Kestrel", 3),
        mail(2, "Kestrel\\Design", 2),
        mail(2, "Kestrel\\Design\\Reviews", 2),
        mail(2, "Falcon", 3),
        mail(2, "Release 2.0", 2),
    };
    return folders;
}

int bulkFolderIndex()
{
    return 0;
}

} // namespace kestrel::demo
