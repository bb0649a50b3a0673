#pragma once

// A throw-away Dovecot and the platform opened over a profile naming it as
// the IMAP store "Server" (and, when asked, a local Maildir store "Local"),
// with short ways to reach folders by path ("Server\\Archive\\2020").

#include "ImapTestServer.h"
#include "TempMaildir.h"
#include "platform/MailPlatform.h"

#include <QMap>
#include <QString>

#include <gtest/gtest.h>

#include <memory>

namespace kestrel::test {

struct ImapProfileOptions {
    bool tls = false;
    bool withLocalStore = false;
    QString password{}; // empty: the server's
    QString fingerprint{};
    int port = 0; // instead of the server's (a relay's)
};

class ImapStoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the server (once per test), with options.
    bool startServer(const ImapServerOptions& options = {});
    // Writes the profile and opens the platform over it; false when logon fails.
    bool open(const ImapProfileOptions& options = {});
    void close();

    std::unique_ptr<platform::Folder> folder(const QString& path);
    qint64 count(const QString& path);
    // Every item of a restriction (filter "" lists nothing; use all()).
    std::unique_ptr<platform::ItemCollection> restricted(const QString& path,
                                                         const QString& filter);
    // Subjects of the messages of a mailbox, from the server, sorted.
    QStringList serverSubjects(const QString& mailbox);

    ImapTestServer server;
    TempMaildir local;
    std::unique_ptr<platform::Application> app;
    std::unique_ptr<platform::Namespace> ns;
    std::unique_ptr<platform::Session> session;
};

} // namespace kestrel::test
