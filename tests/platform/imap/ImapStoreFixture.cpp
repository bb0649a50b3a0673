#include "ImapStoreFixture.h"

#include "platform/PlatformRegistry.h"

#include <QFile>

namespace kestrel::test {

void ImapStoreTest::SetUp()
{
    if (ImapTestServer::executable().isEmpty())
        GTEST_SKIP() << "dovecot is not installed";
}

void ImapStoreTest::TearDown()
{
    close();
}

bool ImapStoreTest::startServer(const ImapServerOptions& options)
{
    const bool started = server.start(options);
    EXPECT_TRUE(started) << server.lastError().toStdString();
    return started;
}

bool ImapStoreTest::open(const ImapProfileOptions& options)
{
    close();
    QString profile = QStringLiteral("[Profile]\nUserName=Demo User\n"
                                     "UserAddress=demo.user@example.com\n"
                                     "DefaultStore=Server\n[Store1]\nName=Server\nType=imap\n");
    profile +=
        QStringLiteral("Host=%1\nPort=%2\nSecurity=%3\nUser=%4\n")
            .arg(server.host())
            .arg(options.port  ? options.port
                 : options.tls ? server.tlsPort()
                               : server.port())
            .arg(options.tls ? QStringLiteral("tls") : QStringLiteral("none"), server.user());
    const QString password = options.password.isEmpty() ? server.password() : options.password;
    profile += QStringLiteral("PasswordCommand=echo '%1'\n").arg(password);
    if (!options.fingerprint.isEmpty())
        profile += QStringLiteral("CertificateFingerprint=%1\n").arg(options.fingerprint);
    if (options.withLocalStore)
        profile += QStringLiteral("[Store2]\nName=Local\nPath=%1\n")
                       .arg(local.addStore(QStringLiteral("Local")));
    const QString path = local.root() + QStringLiteral("/imap-profile.ini");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(profile.toUtf8()) < 0)
        return false;
    file.close();
    qputenv("KESTREL_PROFILE", QFile::encodeName(path));
    app = platform::createApplication();
    ns = app ? app->getNamespace(QStringLiteral("MAPI")) : nullptr;
    if (!ns || !ns->logon())
        return false;
    session = ns->openSession();
    return session != nullptr;
}

void ImapStoreTest::close()
{
    session.reset();
    if (ns)
        ns->logoff();
    ns.reset();
    app.reset();
}

std::unique_ptr<platform::Folder> ImapStoreTest::folder(const QString& path)
{
    const QStringList parts = path.split('\\');
    auto stores = ns->folders();
    if (!stores)
        return nullptr;
    std::unique_ptr<platform::Folder> current = stores->item(parts.first());
    for (qsizetype i = 1; current && i < parts.size(); ++i) {
        auto children = current->folders();
        current = children ? children->item(parts[i]) : nullptr;
    }
    return current;
}

qint64 ImapStoreTest::count(const QString& path)
{
    auto f = folder(path);
    auto items = f ? f->items() : nullptr;
    return items ? items->count().value_or(-1) : -1;
}

std::unique_ptr<platform::ItemCollection> ImapStoreTest::restricted(const QString& path,
                                                                    const QString& filter)
{
    auto f = folder(path);
    auto items = f ? f->items() : nullptr;
    return items ? items->restrict(filter) : nullptr;
}

QStringList ImapStoreTest::serverSubjects(const QString& mailbox)
{
    QStringList subjects;
    const auto rows = server.fetch(QStringLiteral("hdr.subject"), mailbox);
    if (rows) {
        for (const DoveadmRow& row : *rows)
            subjects.append(row.value(QStringLiteral("hdr.subject")));
    }
    subjects.sort();
    return subjects;
}

} // namespace kestrel::test
