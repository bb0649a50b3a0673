#pragma once

// The mail profile's stores and folders as the command line names them: a
// store by its display name, a folder by its path below the store.

#include "engine/TaskRunner.h"
#include "platform/MailPlatform.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace kestrel::cli {

class StoreSelection {
public:
    // Opens the profile at MailProfile::location() and logs on. False, with
    // lastError(), when the profile cannot be read or no store opened.
    bool open();

    platform::Namespace& ns() { return *m_namespace; }
    platform::Session* session() { return m_session.get(); }

    // The root folder of the store named so. nullptr, with lastError()
    // beginning with whatParts (the Part's text), when there is none or it
    // cannot be opened.
    std::unique_ptr<platform::Folder> storeRoot(const QString& name, const QString& whatParts);

    // The tree's nodes for these folders of the store (relative paths,
    // levels joined by "\", or whole folder paths), all ticked. Empty, with
    // lastError(), when one cannot be found.
    QList<engine::TaskFolder> namedFolders(platform::Folder& storeRoot, const QStringList& paths);
    // Every folder of the store and its subfolders, as the window's tree
    // holds them (two levels, in their listing order), all ticked.
    QList<engine::TaskFolder> allFolders(platform::Folder& storeRoot);

    const QString& lastError() const { return m_lastError; }

private:
    QStringList storeNames();

    std::unique_ptr<platform::Application> m_application;
    std::unique_ptr<platform::Namespace> m_namespace;
    std::unique_ptr<platform::Session> m_session;
    QString m_profileFile;
    QString m_lastError;
};

} // namespace kestrel::cli
