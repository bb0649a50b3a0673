#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel::demo {

enum class FolderRole { Received, Sent, Newsletter, Invoices, NotMail };

struct DemoFolder {
    int store = 0;    // index into demoStores()
    QStringList path; // display names below the store root
    int itemType = 0; // 0 = mail, 1 = calendar, 2 = contacts
    int weight = 0;   // share of the first kDemoSpreadCount messages
    FolderRole role = FolderRole::Received;
    bool archived = false; // old mail that entered this store years later
};

struct DemoStore {
    QString name;
    QString directory; // below the profile's directory
};

// The first this many messages are spread over all folders; every message
// beyond goes to the bulk folder, "Personal Folders\Inbox".
inline constexpr int kDemoSpreadCount = 3000;

const QList<DemoStore>& demoStores();
const QList<DemoFolder>& demoFolders();
int bulkFolderIndex();

} // namespace kestrel::demo
