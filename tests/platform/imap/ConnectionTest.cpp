// Logging on to a server: certificates, passwords, and what is said when it fails.

#include "ImapStoreFixture.h"
#include "platform/PlatformRegistry.h"
#include "platform/imap/Credentials.h"
#include "platform/imap/ImapAccount.h"

#include <QFile>

namespace kestrel::test {
namespace {

using platform::imap::ImapAccount;
using ImapConnection = ImapStoreTest;

ImapAccount accountOf(const ImapTestServer& server, platform::imap::Security security)
{
    ImapAccount account;
    account.storeName = QStringLiteral("Server");
    account.host = server.host();
    account.security = security;
    account.port = security == platform::imap::Security::Tls ? server.tlsPort() : server.port();
    account.user = server.user();
    return account;
}

// A dialog that records what it was told and answers from a list.
class ScriptedPasswords : public platform::imap::PasswordSource {
public:
    explicit ScriptedPasswords(QStringList answers) : m_answers(std::move(answers)) {}
    std::optional<QString> password(const ImapAccount&, const QString& whyAsked) override
    {
        reasons.append(whyAsked);
        if (m_answers.isEmpty())
            return std::nullopt;
        return m_answers.takeFirst();
    }
    void accepted(const ImapAccount&, const QString& password) override { kept = password; }
    QStringList reasons;
    QString kept;

private:
    QStringList m_answers;
};

TEST(ImapAccountKeys, ReadBackWhatTheyWriteAndRefuseWhatTheyCannotUse)
{
    platform::StoreEntry store;
    store.name = QStringLiteral("Work");
    store.type = QStringLiteral("imap");
    store.settings = {{"Host", "imap.example.com"}, {"User", "demo"}, {"Security", "STARTTLS"}};
    platform::PlatformError error;
    const std::optional<ImapAccount> read = ImapAccount::fromStore(store, &error);
    ASSERT_TRUE(read) << error.text.toStdString();
    EXPECT_EQ(read->security, platform::imap::Security::StartTls);
    EXPECT_EQ(read->port, 143); // the port of the security asked for
    store.settings = read->toSettings();
    const std::optional<ImapAccount> again = ImapAccount::fromStore(store, &error);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->toSettings(), store.settings);

    for (const auto& [key, value] : {std::pair{"Port", "0"},
                                     {"Port", "imap"},
                                     {"Security", "ssl"},
                                     {"Host", ""},
                                     {"User", ""}}) {
        platform::StoreEntry bad = store;
        bad.settings.insert(QLatin1String(key), QLatin1String(value));
        EXPECT_FALSE(ImapAccount::fromStore(bad, &error)) << key << "=" << value;
        EXPECT_EQ(error.kind, platform::ErrorKind::Invalid);
        EXPECT_TRUE(error.text.contains(QStringLiteral("Work")));
    }
}

TEST_F(ImapConnection, ASelfSignedCertificateIsRefusedWithItsFingerprintUntilTrusted)
{
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(open({.tls = true}));
    const QList<platform::PlatformError> refused = ns->unusableStores();
    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused.first().kind, platform::ErrorKind::AccessDenied);
    EXPECT_TRUE(QString(refused.first().detail)
                    .remove(':')
                    .compare(server.certificateFingerprint(), Qt::CaseInsensitive) == 0)
        << refused.first().text.toStdString();
    EXPECT_FALSE(folder(QStringLiteral("Server")));

    ASSERT_TRUE(open({.tls = true, .fingerprint = server.certificateFingerprint()}));
    EXPECT_TRUE(ns->unusableStores().isEmpty());
    EXPECT_EQ(count(QStringLiteral("Server\\Inbox")), 0);

    // STARTTLS is checked the same way before the password is sent.
    const platform::imap::ConnectionTest plain = platform::imap::testConnection(
        accountOf(server, platform::imap::Security::StartTls), server.password());
    EXPECT_EQ(plain.error.kind, platform::ErrorKind::AccessDenied);
    EXPECT_EQ(QString(plain.certificateFingerprint).remove(':').toLower(),
              server.certificateFingerprint());
}

TEST_F(ImapConnection, TestConnectionListsTheFolders)
{
    ASSERT_TRUE(startServer());
    ASSERT_TRUE(server.createMailbox(QStringLiteral("Archive/2020")));
    ImapAccount account = accountOf(server, platform::imap::Security::Tls);
    account.certificateFingerprint = server.certificateFingerprint();
    const platform::imap::ConnectionTest test =
        platform::imap::testConnection(account, server.password());
    ASSERT_TRUE(test.error.ok()) << test.error.text.toStdString();
    EXPECT_TRUE(test.folders.contains(QStringLiteral("Inbox")));
    EXPECT_TRUE(test.folders.contains(QStringLiteral("Archive/2020")));

    // The password tested is the only one tried: nobody is asked for another.
    ScriptedPasswords nobody({server.password()});
    platform::imap::setPasswordSource(&nobody);
    const platform::imap::ConnectionTest wrong =
        platform::imap::testConnection(account, QStringLiteral("not it"));
    platform::imap::setPasswordSource(nullptr);
    EXPECT_EQ(wrong.error.kind, platform::ErrorKind::AccessDenied);
    EXPECT_TRUE(nobody.reasons.isEmpty());
}

TEST_F(ImapConnection, ARefusedPasswordIsAskedForAgainOnceWithTheServersWords)
{
    ASSERT_TRUE(startServer());
    ScriptedPasswords twice({QStringLiteral("wrong"), server.password()});
    platform::imap::setPasswordSource(&twice);
    // A profile without a PasswordCommand asks the installed source.
    const QString profile = local.root() + QStringLiteral("/asked.ini");
    QFile file(profile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[Store1]\nName=Server\nType=imap\nHost=%1\nPort=%2\n"
                              "Security=none\nUser=%3\n")
                   .arg(server.host())
                   .arg(server.port())
                   .arg(server.user())
                   .toUtf8());
    file.close();
    qputenv("KESTREL_PROFILE", QFile::encodeName(profile));
    app = platform::createApplication();
    ns = app->getNamespace(QStringLiteral("MAPI"));
    ASSERT_TRUE(ns->logon());
    EXPECT_TRUE(ns->unusableStores().isEmpty());
    ASSERT_EQ(twice.reasons.size(), 2);
    EXPECT_TRUE(twice.reasons[0].isEmpty());
    EXPECT_TRUE(twice.reasons[1].contains(QStringLiteral("AUTHENTICATIONFAILED")) ||
                twice.reasons[1].contains(QStringLiteral("Authentication failed")))
        << twice.reasons[1].toStdString();
    EXPECT_EQ(twice.kept, server.password());
    close();

    ScriptedPasswords wrongTwice({QStringLiteral("wrong"), QStringLiteral("still wrong")});
    platform::imap::setPasswordSource(&wrongTwice);
    app = platform::createApplication();
    ns = app->getNamespace(QStringLiteral("MAPI"));
    ASSERT_TRUE(ns->logon());
    const QList<platform::PlatformError> refused = ns->unusableStores();
    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused.first().kind, platform::ErrorKind::AccessDenied);
    EXPECT_TRUE(refused.first().text.contains(QStringLiteral("Server")));
    EXPECT_EQ(wrongTwice.reasons.size(), 2);
    platform::imap::setPasswordSource(nullptr);
}

} // namespace
} // namespace kestrel::test
