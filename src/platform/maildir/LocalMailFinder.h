#pragma once

// Looks for the user's own Maildir trees in the places where mail programs
// keep them, and counts their messages. It only reads: nothing is created,
// moved or renamed. Trees that hold one another are listed once: a tree whose
// root is a Maildir folder keeps its whole inside; a plain directory that only
// holds found trees (an mbsync or notmuch root) gives way to them.

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel::platform::maildir {

enum class MailSource {
    MaildirVariable, // $MAILDIR
    HomeMaildir,     // ~/Maildir
    Dovecot,         // doveconf's mail_location
    DotMailAccount,  // ~/.mail/*
    MailAccount,     // ~/mail/*
    Evolution,       // Evolution's "On This Computer"
    KMail,           // KMail's "Local Folders"
    Notmuch,         // notmuch's database.path
};

struct FoundMailTree {
    QString name; // proposed store name, unique in the list
    QString path; // canonical
    MailSource source;
    bool rootIsFolder = false; // the root holds cur/ and new/ (a Maildir++ root)
    int folders = 0;
    qint64 messages = 0;
    bool capped = false; // the tree was larger than the count may walk: figures are a lower bound
};

// Where to look. ofCurrentUser() reads the environment; tests set their own.
struct LocalMailPlaces {
    QString home;
    QString userName;
    QString maildirVariable; // $MAILDIR, may be empty
    QString dataHome;        // $XDG_DATA_HOME, else ~/.local/share
    QString notmuchConfig;   // $NOTMUCH_CONFIG, else ~/.notmuch-config, else the XDG one
    QStringList doveconf{QStringLiteral("doveconf")}; // program and leading arguments
    int doveconfTimeoutMs = 2000;
    int directoriesPerTree = 5000;
    int directoriesInAll = 20000;
    int accountsPerRoot = 64; // entries of ~/.mail and ~/mail looked at

    static LocalMailPlaces ofCurrentUser();
};

class LocalMailFinder {
public:
    explicit LocalMailFinder(LocalMailPlaces places) : m_places(std::move(places)) {}

    // The trees found, in the order of MailSource; empty when there are none.
    QList<FoundMailTree> find() const;

private:
    struct Candidate {
        QString name;
        QString path;
        MailSource source;
    };
    QList<Candidate> candidates() const;
    void addAccounts(const QString& root, MailSource source, QList<Candidate>& out) const;

    LocalMailPlaces m_places;
};

} // namespace kestrel::platform::maildir
