#include "LocalMailFinder.h"

#include "DovecotMailLocation.h"
#include "MaildirTreeCounter.h"
#include "NotmuchConfig.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <pwd.h>
#include <unistd.h>

namespace kestrel::platform::maildir {

namespace {

QString nameOf(const QString& path)
{
    QString name = QFileInfo(path).fileName();
    while (name.startsWith('.'))
        name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("Mail") : name;
}

bool holdsFolder(const QString& dir)
{
    return QFileInfo(dir + QLatin1String("/cur")).isDir() &&
           QFileInfo(dir + QLatin1String("/new")).isDir();
}

bool isInside(const QString& path, const QString& root)
{
    return path.startsWith(root) && path.size() > root.size() &&
           (root.endsWith('/') || path.at(root.size()) == '/');
}

QString uniqueName(const QString& wanted, const QStringList& taken)
{
    QString name = wanted;
    for (int n = 2; taken.contains(name, Qt::CaseInsensitive); ++n)
        name = QStringLiteral("%1 (%2)").arg(wanted).arg(n);
    return name;
}

} // namespace

LocalMailPlaces LocalMailPlaces::ofCurrentUser()
{
    LocalMailPlaces places;
    places.home = QDir::homePath();
    places.userName = qEnvironmentVariable("USER");
    if (places.userName.isEmpty()) {
        if (const passwd* pw = ::getpwuid(::getuid()))
            places.userName = QString::fromLocal8Bit(pw->pw_name);
    }
    places.maildirVariable = qEnvironmentVariable("MAILDIR");
    places.dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (places.dataHome.isEmpty())
        places.dataHome = places.home + QLatin1String("/.local/share");
    places.notmuchConfig = qEnvironmentVariable("NOTMUCH_CONFIG");
    if (places.notmuchConfig.isEmpty()) {
        places.notmuchConfig = places.home + QLatin1String("/.notmuch-config");
        QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (configHome.isEmpty())
            configHome = places.home + QLatin1String("/.config");
        const QString xdg = configHome + QLatin1String("/notmuch/default/config");
        if (!QFileInfo::exists(places.notmuchConfig) && QFileInfo::exists(xdg))
            places.notmuchConfig = xdg;
    }
    return places;
}

void LocalMailFinder::addAccounts(const QString& root, MailSource source,
                                  QList<Candidate>& out) const
{
    // Links are not followed out of the user's mail directories.
    const QStringList entries =
        QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    int taken = 0;
    for (const QString& entry : entries) {
        if (entry.startsWith('.') || entry == QLatin1String("cur") ||
            entry == QLatin1String("new") || entry == QLatin1String("tmp"))
            continue;
        if (++taken > m_places.accountsPerRoot)
            break;
        out.append({entry, root + '/' + entry, source});
    }
}

QList<LocalMailFinder::Candidate> LocalMailFinder::candidates() const
{
    const QString& home = m_places.home;
    QList<Candidate> out;
    QString maildir = m_places.maildirVariable;
    if (maildir.startsWith(QLatin1String("~/")))
        maildir = home + maildir.mid(1);
    if (QDir::isAbsolutePath(maildir))
        out.append({nameOf(maildir), maildir, MailSource::MaildirVariable});
    if (!home.isEmpty())
        out.append(
            {QStringLiteral("Maildir"), home + QLatin1String("/Maildir"), MailSource::HomeMaildir});

    const DovecotMailLocation dovecot(m_places.doveconf, m_places.doveconfTimeoutMs);
    if (const std::optional<QString> setting = dovecot.query()) {
        if (const std::optional<QString> path =
                DovecotMailLocation::maildirPath(*setting, home, m_places.userName))
            out.append({nameOf(*path), *path, MailSource::Dovecot});
    }
    if (!home.isEmpty()) {
        addAccounts(home + QLatin1String("/.mail"), MailSource::DotMailAccount, out);
        addAccounts(home + QLatin1String("/mail"), MailSource::MailAccount, out);
    }
    if (!m_places.dataHome.isEmpty()) {
        out.append({QStringLiteral("On This Computer"),
                    m_places.dataHome + QLatin1String("/evolution/mail/local"),
                    MailSource::Evolution});
        out.append({QStringLiteral("Local Folders"),
                    m_places.dataHome + QLatin1String("/local-mail"), MailSource::KMail});
    }
    if (!m_places.notmuchConfig.isEmpty()) {
        if (const std::optional<QString> path =
                NotmuchConfig::databasePath(m_places.notmuchConfig, home))
            out.append({nameOf(*path), *path, MailSource::Notmuch});
    }
    return out;
}

QList<FoundMailTree> LocalMailFinder::find() const
{
    // Existing directories only, each once (by the place that names it first).
    QList<FoundMailTree> trees;
    for (const Candidate& candidate : candidates()) {
        const QString canonical = QFileInfo(candidate.path).canonicalFilePath();
        if (canonical.isEmpty() || !QFileInfo(canonical).isDir())
            continue;
        const bool seen = std::any_of(trees.cbegin(), trees.cend(),
                                      [&](const FoundMailTree& t) { return t.path == canonical; });
        if (seen)
            continue;
        FoundMailTree tree;
        tree.name = candidate.name;
        tree.path = canonical;
        tree.source = candidate.source;
        tree.rootIsFolder = holdsFolder(canonical);
        trees.append(tree);
    }
    // The inside of a Maildir++ root belongs to it.
    QList<FoundMailTree> owned;
    for (const FoundMailTree& tree : trees) {
        const bool inside = std::any_of(trees.cbegin(), trees.cend(), [&](const FoundMailTree& t) {
            return t.rootIsFolder && isInside(tree.path, t.path);
        });
        if (!inside)
            owned.append(tree);
    }

    // Deepest first, so that a plain directory holding found trees can give way to them.
    QList<qsizetype> order(owned.size());
    for (qsizetype i = 0; i < owned.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return owned[a].path.count('/') > owned[b].path.count('/');
    });
    QList<bool> kept(owned.size(), false);
    int budget = m_places.directoriesInAll;
    for (qsizetype i : order) {
        FoundMailTree& tree = owned[i];
        const bool holdsKept = std::any_of(order.cbegin(), order.cend(), [&](qsizetype j) {
            return kept[j] && isInside(owned[j].path, tree.path);
        });
        if (holdsKept || budget <= 0)
            continue;
        const int cap = std::min(m_places.directoriesPerTree, budget);
        const std::optional<MaildirTreeCount> count =
            MaildirTreeCounter(cap).count(tree.path, nullptr);
        if (count)
            budget -= count->directories;
        if (!count || count->folders == 0)
            continue;
        tree.folders = count->folders;
        tree.messages = count->messages;
        tree.capped = count->capped;
        kept[i] = true;
    }

    QList<FoundMailTree> found;
    QStringList names;
    for (qsizetype i = 0; i < owned.size(); ++i) {
        if (!kept[i])
            continue;
        FoundMailTree tree = owned[i];
        tree.name = uniqueName(tree.name, names);
        names.append(tree.name);
        found.append(tree);
    }
    return found;
}

} // namespace kestrel::platform::maildir
