#include "platform/MailProfile.h"

#include "OpenProfile.h"
#include "support/TempMaildir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace kestrel;
using platform::ErrorKind;
using platform::MailProfile;

namespace {

void writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

TEST(MailProfile, ReadsUserStoresInOrderAndDefault)
{
    test::TempMaildir maildir;
    QDir(maildir.root()).mkpath("abs/store");
    const QString absolute = maildir.root() + "/abs/store";
    writeText(maildir.root() + "/profile.ini",
              "[Profile]\nUserName=Demo User\nUserAddress=demo.user@example.com\n"
              "DefaultStore=Archive\n"
              "[Store1]\nName=Personal Folders\nPath=personal\n"
              "[Store2]\nName=Archive\nPath=" +
                  absolute.toUtf8() +
                  "\n"
                  "[Store3]\nName=Projects\nPath=sub/../projects\n"
                  "[Store5]\nName=Unreachable\nPath=x\n");

    platform::PlatformError error;
    auto profile = MailProfile::load(maildir.root() + "/profile.ini", &error);
    ASSERT_TRUE(profile) << error.text.toStdString();
    EXPECT_EQ(profile->userName, "Demo User");
    EXPECT_EQ(profile->userAddress, "demo.user@example.com");
    ASSERT_EQ(profile->stores.size(), 3); // stops at the missing Store4
    EXPECT_EQ(profile->stores[0].name, "Personal Folders");
    EXPECT_EQ(profile->stores[0].path, maildir.root() + "/personal");
    EXPECT_EQ(profile->stores[1].path, absolute);
    EXPECT_EQ(profile->stores[2].path, maildir.root() + "/projects");
    EXPECT_EQ(profile->defaultStore, 1);
}

TEST(MailProfile, FailuresAreReportedNotCrashed)
{
    test::TempMaildir maildir;
    platform::PlatformError error;

    EXPECT_FALSE(MailProfile::load(maildir.root() + "/missing.ini", &error));
    EXPECT_EQ(error.kind, ErrorKind::NotFound);

    writeText(maildir.root() + "/nostores.ini", "[Profile]\nUserName=X\n");
    EXPECT_FALSE(MailProfile::load(maildir.root() + "/nostores.ini", &error));
    EXPECT_EQ(error.kind, ErrorKind::Invalid);

    writeText(maildir.root() + "/nopath.ini", "[Store1]\nName=A\n");
    EXPECT_FALSE(MailProfile::load(maildir.root() + "/nopath.ini", &error));
    EXPECT_EQ(error.kind, ErrorKind::Invalid);

    EXPECT_FALSE(MailProfile::load(maildir.root(), &error)); // a directory
    EXPECT_EQ(error.kind, ErrorKind::AccessDenied);

    // An unknown default store falls back to the first.
    writeText(maildir.root() + "/p.ini",
              "[Profile]\nDefaultStore=Nope\n[Store1]\nName=A\nPath=a\n[Store2]\nName=B\nPath=b\n");
    auto profile = MailProfile::load(maildir.root() + "/p.ini", &error);
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->defaultStore, 0);
}

TEST(MailProfile, ApplicationNeedsAProfileAndExistingStores)
{
    test::TempMaildir maildir;
    qputenv("KESTREL_PROFILE", QFile::encodeName(maildir.root() + "/none.ini"));
    EXPECT_EQ(platform::createApplication(), nullptr);

    maildir.addStore("Personal Folders");
    maildir.addStore("Archive");
    maildir.writeProfile("Archive");
    {
        test::OpenProfile open;
        ASSERT_TRUE(open.app);
        EXPECT_EQ(open.app->getNamespace("Other"), nullptr);
        ASSERT_TRUE(open.loggedOn);
        ASSERT_TRUE(open.session);
        auto stores = open.ns->folders();
        ASSERT_EQ(stores->count(), 2);
        EXPECT_EQ(stores->item(1)->name(), "Personal Folders");
        EXPECT_EQ(stores->item(2)->name(), "Archive");
        EXPECT_EQ(open.session->defaultStoreId(), stores->item(2)->storeId());
        EXPECT_NE(stores->item(1)->storeId(), stores->item(2)->storeId());
        EXPECT_EQ(open.session->currentUserAddress(), "demo.user@example.com");
    }

    // A store whose directory is gone is left out with its path; the default
    // falls to the first store left. With none left the logon fails.
    QDir(maildir.storePath("Archive")).removeRecursively();
    {
        test::OpenProfile partly;
        ASSERT_TRUE(partly.loggedOn);
        const QList<platform::PlatformError> left = partly.ns->unusableStores();
        ASSERT_EQ(left.size(), 1);
        EXPECT_EQ(left[0].kind, ErrorKind::NotFound);
        EXPECT_EQ(left[0].detail, maildir.storePath("Archive"));
        auto stores = partly.ns->folders();
        ASSERT_EQ(stores->count(), 1);
        EXPECT_EQ(partly.session->defaultStoreId(), stores->item(1)->storeId());
    }
    QDir(maildir.storePath("Personal Folders")).removeRecursively();
    test::OpenProfile broken;
    ASSERT_TRUE(broken.app);
    EXPECT_FALSE(broken.loggedOn);
    EXPECT_EQ(broken.ns->lastError().kind, ErrorKind::NotFound);
    EXPECT_EQ(broken.ns->unusableStores().size(), 2);
    EXPECT_EQ(broken.ns->openSession(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(maildir.storePath("Archive"))) << "nothing is made in its place";
}

// Stores are told apart by name and must be different folders; a profile
// where two are not is refused at logon, with both stores named.
TEST(MailProfile, StoresSharingANameOrAFolderAreRefusedAtLogon)
{
    test::TempMaildir maildir;
    QDir(maildir.root()).mkpath("a/cur");
    QDir(maildir.root()).mkpath("b/cur");
    ASSERT_EQ(::symlink("a", QFile::encodeName(maildir.root() + "/link").constData()), 0);
    const QByteArray stores[] = {
        "[Store1]\nName=Mail\nPath=a\n[Store2]\nName=Mail\nPath=b\n",
        "[Store1]\nName=Mine\nPath=a\n[Store2]\nName=Theirs\nPath=a\n",
        "[Store1]\nName=Mine\nPath=a\n[Store2]\nName=Theirs\nPath=link\n",
        "[Store1]\nName=Mine\nPath=a\n[Store2]\nName=Other\nPath=b\n"
        "[Store3]\nName=Theirs\nPath=b/../a/\n",
    };
    const QStringList named[] = {{"\"Mail\"", "/a", "/b"},
                                 {"\"Mine\"", "\"Theirs\""},
                                 {"\"Mine\"", "\"Theirs\""},
                                 {"\"Mine\"", "\"Theirs\""}};
    for (int i = 0; i < 4; ++i) {
        const QString file = maildir.root() + QString("/p%1.ini").arg(i);
        writeText(file, stores[i]);
        platform::PlatformError error;
        EXPECT_FALSE(MailProfile::load(file, &error)) << i;
        EXPECT_EQ(error.kind, ErrorKind::Invalid) << i;
        for (const QString& part : named[i])
            EXPECT_TRUE(error.text.contains(part)) << i << ": " << error.text.toStdString();

        qputenv("KESTREL_PROFILE", QFile::encodeName(file));
        test::OpenProfile open;
        ASSERT_TRUE(open.app) << i;
        EXPECT_FALSE(open.loggedOn) << i;
        EXPECT_EQ(open.ns->lastError().text, error.text);
        EXPECT_EQ(open.ns->openSession(), nullptr);
        EXPECT_EQ(open.ns->folders(), nullptr);
    }
    qunsetenv("KESTREL_PROFILE");
}
