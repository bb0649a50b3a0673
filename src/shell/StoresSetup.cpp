#include "StoresSetup.h"

#include "dialogs/DialogRunner.h"
#include "frmImapAccount.h"
#include "frmStores.h"
#include "platform/MailPlatform.h"
#include "platform/MailProfile.h"
#include "platform/maildir/MaildirTreeCounter.h"
#include "platform/maildir/StoreCheck.h"
#include "platform/pst/PstFile.h"
#include "platform/pst/PstFolderTree.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QScreen>

#include <algorithm>

namespace kestrel::shell {

namespace {

using platform::maildir::FoundMailTree;

// The profile's type of an Outlook data file's store.
constexpr char kDataFileType[] = "pst";

QString contentsText(qint64 messages, int folders, bool capped)
{
    const QString text = QStringLiteral("%1 messages in %2 folders")
                             .arg(QLocale().toString(messages), QLocale().toString(folders));
    return capped ? QStringLiteral("at least ") + text : text;
}

QString problemOf(const QString& name, const QString& path)
{
    platform::StoreEntry store;
    store.name = name;
    store.path = path;
    const std::optional<platform::PlatformError> why = platform::maildir::unusableReason(store);
    if (!why)
        return {};
    // The row names the store already: only the reason is shown.
    const QString prefix = QStringLiteral("The store \"%1\" ").arg(name);
    return why->text.startsWith(prefix) ? why->text.mid(prefix.size()) : why->text;
}

QString realPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

bool isServer(const StoreChoice& choice)
{
    const QString type = choice.keys.value(QStringLiteral("Type")).trimmed().toLower();
    return !type.isEmpty() && !platform::storeTypeHasPath(type);
}

bool isDataFile(const StoreChoice& choice)
{
    return choice.keys.value(QStringLiteral("Type")).trimmed().toLower() ==
           QLatin1String(kDataFileType);
}

// The file is opened as its store will be, so that the row tells at once
// what it holds, or why it cannot be used.
void fillDataFileContents(StoreChoice& choice)
{
    platform::PlatformError error;
    const std::unique_ptr<platform::pst::PstFile> file =
        platform::pst::PstFile::open(choice.path, &error);
    const std::optional<platform::pst::PstFolderTree> tree =
        file ? platform::pst::PstFolderTree::read(*file, &error) : std::nullopt;
    if (!tree) {
        choice.problem = error.text;
        return;
    }
    qint64 messages = 0;
    int folders = 0;
    for (int i = 0; i < tree->size(); ++i) {
        const platform::pst::PstFolderNode& node = tree->node(i);
        if (node.parent < 0 || node.itemType != platform::MailFolderType)
            continue;
        ++folders;
        messages += node.messageCount;
    }
    choice.contents = contentsText(messages, folders, false) + QStringLiteral(", read only");
}

QString login(const QString& user, const QString& host)
{
    return QStringLiteral("%1@%2").arg(user, host);
}

void fillContents(StoreChoice& choice)
{
    if (isServer(choice)) {
        // Counting a server's mail would log in: the account is what is shown.
        platform::StoreEntry store;
        store.name = choice.name;
        store.type = choice.keys.value(QStringLiteral("Type")).trimmed().toLower();
        store.settings = choice.keys;
        platform::PlatformError error;
        const auto account = platform::imap::ImapAccount::fromStore(store, &error);
        if (!account) {
            choice.problem = error.text;
            return;
        }
        choice.contents = login(account->user, account->host);
        choice.place = QStringLiteral("%1:%2").arg(account->host).arg(account->port);
        return;
    }
    if (isDataFile(choice)) {
        fillDataFileContents(choice);
        return;
    }
    choice.problem = problemOf(choice.name, choice.path);
    if (!choice.problem.isEmpty())
        return;
    platform::PlatformError error;
    if (const auto count = platform::maildir::MaildirTreeCounter().count(choice.path, &error))
        choice.contents = contentsText(count->messages, count->folders, count->capped);
}

} // namespace

StoresSetup::StoresSetup(dialogs::DialogRunner& runner, FolderPicker& picker, SecretStore* keyring,
                         QString profileFile, platform::maildir::LocalMailPlaces places)
    : m_runner(runner), m_picker(picker), m_keyring(keyring), m_profile(std::move(profileFile)),
      m_places(std::move(places))
{
}

StoreChoice StoresSetup::describe(const QString& path, const QString& home)
{
    StoreChoice choice;
    choice.path = path;
    if (QFileInfo(path).isFile()) {
        // Named as the file is, without its extension.
        choice.name = QFileInfo(path).completeBaseName();
        choice.keys.insert(QStringLiteral("Type"), QString::fromLatin1(kDataFileType));
        fillContents(choice);
        return choice;
    }
    choice.name = QFileInfo(path).fileName();
    while (choice.name.startsWith('.'))
        choice.name.remove(0, 1);
    if (choice.name.isEmpty() || path == home)
        choice.name = QStringLiteral("Mail");
    fillContents(choice);
    return choice;
}

StoreChoice StoresSetup::describe(const platform::imap::ImapAccount& account)
{
    StoreChoice choice;
    choice.name = account.storeName;
    choice.keys = account.toSettings();
    choice.keys.insert(QStringLiteral("Type"), QString::fromLatin1(platform::imap::kImapStoreType));
    fillContents(choice);
    return choice;
}

std::optional<StoreChoice> StoresSetup::addAccount(QWidget* owner, QString* note)
{
    frmImapAccount dialog(m_keyring, owner);
    if (m_runner.run(dialog) != QDialog::Accepted || dialog.result() != QDialog::Accepted)
        return std::nullopt;
    const platform::imap::ImapAccount account = dialog.account();
    if (!dialog.keyringProblem().isEmpty())
        *note = QStringLiteral("The password of %1 is not kept (%2); it will be asked for when "
                               "the store is opened.")
                    .arg(login(account.user, account.host), dialog.keyringProblem());
    StoreChoice choice = describe(account);
    choice.ticked = true;
    return choice;
}

QList<StoreChoice> StoresSetup::proposals() const
{
    QList<StoreChoice> rows = m_profile.stores();
    const bool firstStart = rows.isEmpty();
    QStringList listed;
    for (StoreChoice& row : rows) {
        fillContents(row);
        if (!row.path.isEmpty())
            listed.append(realPath(row.path));
    }
    const QList<FoundMailTree> found = platform::maildir::LocalMailFinder(m_places).find();
    for (const FoundMailTree& tree : found) {
        if (listed.contains(realPath(tree.path)))
            continue;
        StoreChoice row;
        row.name = tree.name;
        row.path = tree.path;
        row.contents = contentsText(tree.messages, tree.folders, tree.capped);
        row.problem = problemOf(row.name, row.path);
        row.ticked = firstStart && row.problem.isEmpty();
        rows.append(row);
    }
    const bool hasArchive = std::any_of(rows.cbegin(), rows.cend(), [](const StoreChoice& row) {
        return row.name.compare(QLatin1String("Archive"), Qt::CaseInsensitive) == 0;
    });
    const QString archivePath = QDir(m_places.home).filePath(QStringLiteral("Mail Archive"));
    if (!hasArchive && !listed.contains(realPath(archivePath))) {
        StoreChoice archive;
        archive.name = QStringLiteral("Archive");
        archive.path = archivePath;
        archive.create = true;
        fillContents(archive);
        if (!archive.problem.isEmpty() && !QFileInfo::exists(archivePath)) {
            archive.problem.clear();
            archive.contents = QStringLiteral("new, empty");
        }
        archive.ticked = firstStart && archive.problem.isEmpty();
        rows.append(archive);
    }
    return rows;
}

StoresSetup::Outcome StoresSetup::run(QWidget* owner)
{
    m_lastError.clear();
    const QString home = m_places.home;
    frmStores dialog(
        proposals(), m_picker, [home](const QString& path) { return describe(path, home); },
        [this](QWidget* parent, QString* note) { return addAccount(parent, note); }, owner);
    if (!(owner && owner->isVisible())) {
        if (const QScreen* screen = dialog.screen())
            dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    }
    if (m_runner.run(dialog) != QDialog::Accepted)
        return Outcome::Cancelled;
    // A runner that answers by itself has not pressed Okay, which checks.
    m_lastError = dialog.problem();
    if (!m_lastError.isEmpty())
        return Outcome::Failed;
    const QList<StoreChoice> choices = dialog.choices();
    for (const StoreChoice& choice : choices) {
        if (choice.ticked && choice.create && !createMaildirTree(choice.path, &m_lastError))
            return Outcome::Failed;
    }
    if (!m_profile.write(choices)) {
        m_lastError = m_profile.lastError();
        return Outcome::Failed;
    }
    return Outcome::Written;
}

} // namespace kestrel::shell
