#include "ShellFixture.h"
#include "folders/FolderTreeView.h"
#include "shell/FileDialogFolderPicker.h"
#include "shell/frmStores.h"
#include "support/TempMaildir.h"

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>

#include <unistd.h>

using kestrel::shell::frmStores;
using kestrel::shell::StartupOutcome;
using kestrel::test::MessageSpec;
using kestrel::test::ShellFixture;
using kestrel::test::TempMaildir;

namespace {

QStringList entries(const QComboBox& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts.append(list.itemText(i));
    return texts;
}

// Every file and folder below root with its size, to see that nothing moved.
QStringList snapshot(const QString& root)
{
    QStringList result;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        result.append(it.filePath().mid(root.size()) + " " + QString::number(it.fileInfo().size()));
    }
    result.sort();
    return result;
}

QStringList profileStores(const QString& file)
{
    QSettings profile(file, QSettings::IniFormat);
    QStringList stores;
    for (int n = 1; profile.childGroups().contains(QStringLiteral("Store%1").arg(n)); ++n) {
        profile.beginGroup(QStringLiteral("Store%1").arg(n));
        stores.append(profile.value("Name").toString() + "=" + profile.value("Path").toString());
        profile.endGroup();
    }
    return stores;
}

// Presses Enter in the store list, as a user who only accepts would.
void pressEnter(frmStores& dialog)
{
    dialog.show();
    dialog.lstStores->setFocus();
    QTest::keyClick(dialog.lstStores, Qt::Key_Return);
}

class StoresDialog : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        // What the user did in the dialog, not a stand-in's answer.
        dialogs.answer = [](QDialog& shown) { return shown.result(); };
    }

    QString home() const { return places.home; }
    QString freshProfile() const { return dir.filePath("config/kestrel-mailkeep/profile.ini"); }

    // ~/Maildir, ~/.mail/work and Evolution's local folders, with messages.
    void fillHome()
    {
        mail = std::make_unique<TempMaildir>();
        mail->addStore("Maildir", home() + "/Maildir");
        mail->addStore("work", home() + "/.mail/work");
        mail->addStore("evolution", home() + "/.local/share/evolution/mail/local");
        mail->addMessage({.store = "Maildir", .folder = "Inbox"});
        mail->addMessage({.store = "Maildir", .folder = "Inbox\\Lists"});
        mail->addMessage({.store = "work", .folder = "Inbox\\Projects"});
        mail->addMessage({.store = "evolution", .folder = "Inbox\\Drafts"});
    }

    std::unique_ptr<TempMaildir> mail;
};

} // namespace

TEST_F(StoresDialog, OnTheFirstStartEnterTakesTheFoundTreesAndMakesTheArchive)
{
    fillHome();
    const QStringList before = snapshot(home());
    useProfile(freshProfile());
    QStringList rows;
    dialogs.inspect = [&](QDialog& shown) {
        auto* stores = qobject_cast<frmStores*>(&shown);
        if (!stores)
            return;
        for (const auto& row : stores->choices())
            rows.append(row.name + (row.ticked ? " ticked" : ""));
        pressEnter(*stores);
        EXPECT_EQ(stores->result(), QDialog::Accepted) << "Enter is the Okay button";
    };
    auto window = start();

    EXPECT_EQ(log.mid(0, 4), (QStringList{"dialog: frmFirstWarning", "no application",
                                          "dialog: frmStores", "application created"}));
    EXPECT_EQ(rows, (QStringList{"Maildir ticked", "work ticked", "On This Computer ticked",
                                 "Archive ticked"}));
    const QString archive = home() + "/Mail Archive";
    EXPECT_EQ(profileStores(freshProfile()),
              (QStringList{"Maildir=" + home() + "/Maildir", "work=" + home() + "/.mail/work",
                           "On This Computer=" + home() + "/.local/share/evolution/mail/local",
                           "Archive=" + archive}));
    for (const char* part : {"/cur", "/new", "/tmp"})
        EXPECT_TRUE(QFileInfo(archive + part).isDir()) << part;

    EXPECT_EQ(entries(*window->cbTopFolder),
              (QStringList{"Maildir", "work", "On This Computer", "Archive", "[Disk Folder]"}));
    EXPECT_EQ(window->cbArchiveFolder->currentText(), "Archive");
    EXPECT_TRUE(messages.requests.isEmpty());

    QStringList after = snapshot(home());
    after.removeIf([](const QString& entry) { return entry.startsWith("/Mail Archive"); });
    EXPECT_EQ(after, before) << "looking for mail changes nothing";
}

TEST_F(StoresDialog, CancelledOnTheFirstStartTheProgramEndsSayingWhyAndWritesNothing)
{
    fillHome();
    useProfile(freshProfile());
    dialogs.inspect = [](QDialog& shown) {
        if (auto* stores = qobject_cast<frmStores*>(&shown))
            stores->cmdCancel->click();
    };
    auto window = start(StartupOutcome::NoApplication);

    ASSERT_EQ(messages.requests.size(), 1);
    EXPECT_TRUE(messages.requests[0].text.contains("\"Mail stores\""));
    EXPECT_EQ(messages.requests[0].title, "Kestrel Mailkeep");
    EXPECT_EQ(messages.requests[0].icon, kestrel::dialogs::MessageIcon::Stop);
    EXPECT_EQ(messages.requests[0].buttons, kestrel::dialogs::MessageButtons::Ok);
    EXPECT_FALSE(QFileInfo::exists(freshProfile()));
    EXPECT_FALSE(QFileInfo::exists(home() + "/Mail Archive"));
    EXPECT_EQ(programEndedCount(), 0) << "no unload sequence";
    EXPECT_TRUE(configKeys().isEmpty());
}

TEST_F(StoresDialog, StoresButtonRenamesReordersAndRemovesAndTheListsFollow)
{
    settings->write("Dialogs", "ShowFirstWarning", "0");
    const QString profile = writeProfile({{"Personal Folders", demoStoreDir("Personal Folders")},
                                          {"Archive", demoStoreDir("Archive")},
                                          {"Projects", demoStoreDir("Projects")}});
    {
        QFile file(profile);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("Type=maildir\nColour=blue\n"); // keys of Store3 the dialog does not edit
    }
    useProfile(profile);
    auto window = start();
    window->cbArchiveFolder->setCurrentIndex(window->cbArchiveFolder->findText("Projects"));

    window->enterRunningState();
    EXPECT_FALSE(window->cmdStores->isEnabled()) << "a running task locks the stores";
    window->leaveRunningState();
    ASSERT_TRUE(window->cmdStores->isEnabled());

    dialogs.inspect = [](QDialog& shown) {
        auto* stores = qobject_cast<frmStores*>(&shown);
        ASSERT_TRUE(stores);
        QTreeWidget& list = *stores->lstStores;
        list.topLevelItem(0)->setText(0, "Mail");
        list.setCurrentItem(list.topLevelItem(2));
        stores->cmdUp->click(); // Projects before Archive
        list.setCurrentItem(list.topLevelItem(2));
        stores->cmdRemove->click(); // Archive
        pressEnter(*stores);
    };
    window->cmdStores->click();

    EXPECT_EQ(profileStores(profile), (QStringList{"Mail=" + demoStoreDir("Personal Folders"),
                                                   "Projects=" + demoStoreDir("Projects")}));
    QSettings written(profile, QSettings::IniFormat);
    EXPECT_EQ(written.value("Store2/Colour").toString(), "blue");
    EXPECT_EQ(written.value("Store2/Type").toString(), "maildir");
    EXPECT_EQ(written.value("Profile/UserName").toString(), "Test User");
    EXPECT_EQ(written.value("Profile/DefaultStore").toString(), "Mail");

    EXPECT_EQ(entries(*window->cbTopFolder), (QStringList{"Mail", "Projects", "[Disk Folder]"}));
    EXPECT_EQ(window->cbArchiveFolder->currentText(), "Projects") << "the destination stays";
    EXPECT_EQ(window->cbTopFolder->currentText(), "Mail") << "the default store";
    EXPECT_GT(window->tvFolders->topLevelItemCount(), 0);
}

TEST_F(StoresDialog, ARefusedChoiceIsNotWrittenAndTheDialogSaysWhy)
{
    settings->write("Dialogs", "ShowFirstWarning", "0");
    const QString profile = writeProfile({{"Personal Folders", demoStoreDir("Personal Folders")},
                                          {"Archive", demoStoreDir("Archive")}});
    const QByteArray original = [&] {
        QFile file(profile);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    useProfile(profile);
    auto window = start();
    dialogs.inspect = [](QDialog& shown) {
        auto* stores = qobject_cast<frmStores*>(&shown);
        ASSERT_TRUE(stores);
        stores->lstStores->topLevelItem(1)->setText(0, "personal folders");
        pressEnter(*stores);
        EXPECT_EQ(stores->result(), QDialog::Rejected) << "Okay refuses two names alike";
        EXPECT_FALSE(stores->lblProblem->text().isEmpty());
    };
    window->cmdStores->click();
    QFile file(profile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), original);
    EXPECT_EQ(entries(*window->cbTopFolder),
              (QStringList{"Personal Folders", "Archive", "[Disk Folder]"}));
}

TEST_F(StoresDialog, UnusableStoresAreLeftOutWithOneMessageAndNothingIsMadeForThem)
{
    settings->write("Dialogs", "ShowFirstWarning", "0");
    const QString gone = dir.filePath("gone/store");
    const QString plain = dir.filePath("documents");
    QDir().mkpath(plain);
    {
        QFile note(plain + "/notes.txt");
        ASSERT_TRUE(note.open(QIODevice::WriteOnly));
        note.write("not mail\n");
    }
    TempMaildir locked(dir.path());
    const QString lockedPath = locked.addStore("Locked", dir.filePath("locked"));
    locked.addMessage({.store = "Locked"});
    const QString damaged = dir.filePath("damaged.pst");
    {
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    const QString profile = writeProfile({{"Personal Folders", demoStoreDir("Personal Folders")},
                                          {"Gone", gone},
                                          {"Documents", plain},
                                          {"Locked", lockedPath},
                                          {"Archive", demoStoreDir("Archive")},
                                          {"Outlook", damaged}});
    QSettings(profile, QSettings::IniFormat).setValue("Store6/Type", "pst");
    useProfile(profile);
    const QStringList plainBefore = snapshot(plain);

    // Root reads every folder: the start-up runs as nobody, who may read all
    // but the locked store.
    ASSERT_TRUE(QFile::setPermissions(lockedPath, {}));
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        const QString demo = QFileInfo(demoProfile()).absoluteDir().absoluteFilePath("..");
        for (const QString& open : {dir.path(), QDir::cleanPath(demo)}) {
            QDirIterator it(open, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            QFile::setPermissions(open, QFileDevice::Permissions(0x7777));
            while (it.hasNext()) {
                const QString entry = it.next();
                if (entry != lockedPath && !entry.startsWith(lockedPath + '/'))
                    QFile::setPermissions(entry, QFileDevice::Permissions(0x7777));
            }
        }
        ASSERT_EQ(::seteuid(65534), 0);
    }
    auto window = start();
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ASSERT_TRUE(window->isVisible()) << log.join("\n").toStdString();

    EXPECT_EQ(entries(*window->cbTopFolder),
              (QStringList{"Personal Folders", "Archive", "[Disk Folder]"}));
    EXPECT_EQ(window->cbArchiveFolder->currentText(), "Archive");
    ASSERT_EQ(messages.requests.size(), 1) << "one message for all";
    const QString text = messages.requests[0].text;
    EXPECT_TRUE(text.contains("\"Gone\" does not exist:\n" + gone)) << text.toStdString();
    EXPECT_TRUE(text.contains("\"Documents\" is not a Maildir folder tree:\n" + plain))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\"Locked\" cannot be read:\n" + lockedPath)) << text.toStdString();
    EXPECT_TRUE(text.contains("\"Outlook\" cannot be opened: ")) << text.toStdString();
    EXPECT_TRUE(text.contains(damaged)) << text.toStdString();
    EXPECT_EQ(messages.requests[0].icon, kestrel::dialogs::MessageIcon::Exclamation);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("gone")));
    EXPECT_EQ(snapshot(plain), plainBefore);
    QFile::setPermissions(lockedPath,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(StoresDialog, AddTakesAnOutlookDataFileAndTellsWhatItHoldsOrWhyNot)
{
    const QString enron = QStringLiteral(
        KESTREL_BINARY_DIR "/npm/node_modules/pst-extractor/example/testdata/enron.pst");
    if (!QFileInfo::exists(enron))
        GTEST_SKIP() << "pst-extractor's test data is not installed (scripts/setup)";
    settings->write("Dialogs", "ShowFirstWarning", "0");
    const QString profile = writeProfile({{"Personal Folders", demoStoreDir("Personal Folders")},
                                          {"Archive", demoStoreDir("Archive")}});
    useProfile(profile);
    auto window = start();
    const QString damaged = dir.filePath("Old Mail.PST");
    {
        QFile written(damaged);
        ASSERT_TRUE(written.open(QIODevice::WriteOnly));
        written.write(QByteArray(4096, 'x'));
    }
    QStringList rows;
    dialogs.inspect = [&](QDialog& shown) {
        auto* stores = qobject_cast<frmStores*>(&shown);
        ASSERT_TRUE(stores);
        for (const QString& file : {damaged, enron}) {
            picker->answer = file;
            stores->cmdAdd->click();
        }
        QTreeWidget& list = *stores->lstStores;
        for (int i = 2; i < list.topLevelItemCount(); ++i)
            rows.append(list.topLevelItem(i)->text(0) + " | " + list.topLevelItem(i)->text(2));
        pressEnter(*stores);
        EXPECT_EQ(stores->result(), QDialog::Rejected) << "the damaged file cannot be a store";
        EXPECT_TRUE(stores->lblProblem->text().startsWith("\"Old Mail\" cannot be used: "))
            << stores->lblProblem->text().toStdString();
        list.setCurrentItem(list.topLevelItem(2));
        stores->cmdRemove->click();
        pressEnter(*stores);
        EXPECT_EQ(stores->result(), QDialog::Accepted);
    };
    window->cmdStores->click();

    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].startsWith("Old Mail | The file is not an Outlook data file"))
        << rows[0].toStdString();
    EXPECT_EQ(rows[1], "enron | 71 messages in 7 folders, read only");
    QSettings written(profile, QSettings::IniFormat);
    EXPECT_EQ(written.value("Store3/Name").toString(), "enron");
    EXPECT_EQ(written.value("Store3/Type").toString(), "pst");
    EXPECT_EQ(written.value("Store3/Path").toString(), enron);
    EXPECT_EQ(entries(*window->cbTopFolder),
              (QStringList{"Personal Folders", "Archive", "enron", "[Disk Folder]"}));
    EXPECT_TRUE(messages.requests.isEmpty()) << messages.texts().join(" | ").toStdString();
}

TEST(FolderOrDataFileDialog, ChoosesADirectoryOrAnOutlookDataFileAndNothingElse)
{
    kestrel::test::TempDir dir;
    QDir().mkpath(dir.filePath("Mail"));
    for (const char* name : {"backup.ost", "notes.txt"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    for (const auto& [name, taken] :
         {std::pair{"Mail", true}, std::pair{"backup.ost", true}, std::pair{"notes.txt", false}}) {
        kestrel::shell::FolderOrDataFileDialog dialog(nullptr, dir.path());
        dialog.selectFile(dir.filePath(name));
        dialog.accept();
        EXPECT_EQ(dialog.result(), taken ? QDialog::Accepted : QDialog::Rejected) << name;
        if (taken) {
            EXPECT_EQ(dialog.selectedFiles(), QStringList{dir.filePath(name)}) << name;
        }
    }
}
