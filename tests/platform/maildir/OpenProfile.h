#pragma once

// The platform opened over the profile that a TempMaildir wrote, with short
// ways to reach folders by path ("Personal Folders\\Inbox\\Clients").

#include "platform/MailPlatform.h"
#include "platform/PlatformRegistry.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace kestrel::test {

struct OpenProfile {
    std::unique_ptr<platform::Application> app = platform::createApplication();
    std::unique_ptr<platform::Namespace> ns = app ? app->getNamespace("MAPI") : nullptr;
    bool loggedOn = ns && ns->logon();
    std::unique_ptr<platform::Session> session = loggedOn ? ns->openSession() : nullptr;

    std::unique_ptr<platform::Folder> folder(const QString& path)
    {
        const QStringList parts = path.split('\\');
        auto stores = ns->folders();
        if (!stores)
            return nullptr;
        std::unique_ptr<platform::Folder> current = stores->item(parts.first());
        for (qsizetype i = 1; current && i < parts.size(); ++i)
            current = current->folders()->item(parts[i]);
        return current;
    }

    qint64 count(const QString& path)
    {
        auto f = folder(path);
        if (!f)
            return -1;
        return f->items()->count().value_or(-1);
    }
};

} // namespace kestrel::test
