#pragma once

// State shared by every object of one application's Outlook data files: the
// profile and, for each file that could be opened, the open file and its
// folder tree. A file that cannot be used is left out with its reason.

#include "../MailPlatform.h"
#include "../MailProfile.h"
#include "PstFile.h"
#include "PstFolderTree.h"

#include <memory>
#include <vector>

namespace kestrel::platform::pst {

struct PstStore {
    QString name;
    std::unique_ptr<PstFile> file;
    PstFolderTree tree;
};

class PstBackend {
public:
    explicit PstBackend(MailProfile profile);

    const MailProfile& profile() const { return m_profile; }
    bool loggedOn = false;
    QList<PlatformError> leftOut;

    // Opens every file of the profile the first time; those that fail go to leftOut.
    void logon();
    void logoff();

    int storeCount() const { return int(m_stores.size()); }
    // nullptr once the application has logged off (objects may outlive it).
    PstStore* store(int index)
    {
        return index >= 0 && index < storeCount() ? &m_stores[std::size_t(index)] : nullptr;
    }
    int storeIndex(const QString& name) const; // -1 when unknown

    // The item of the file by its node, after checking that the file is
    // still the one that was opened.
    PffItem item(int store, std::uint32_t id, PlatformError* error);

private:
    MailProfile m_profile;
    std::vector<PstStore> m_stores;
};

} // namespace kestrel::platform::pst
