#pragma once

// The mail profile as the stores dialog edits it: the list of stores, written
// back in the user's order. Keys the dialog does not edit (the profile's user,
// a store's Type= and whatever its backend reads) are kept as they were.

#include <QList>
#include <QMap>
#include <QString>

namespace kestrel::shell {

// One row of the stores dialog.
struct StoreChoice {
    QString name;
    QString path;                // absolute; empty for a server's store
    QString place;               // where a server's store is, for the user
    QMap<QString, QString> keys; // the section's other keys (Type=, ...)
    QString contents;            // what the folder holds, for the user
    QString problem;             // why it cannot be used; such a row comes unticked
    bool ticked = false;
    bool create = false; // an empty Maildir++ tree is made at path when none is there
};

class ProfileFile {
public:
    explicit ProfileFile(QString file) : m_file(std::move(file)) {}

    const QString& file() const { return m_file; }
    bool exists() const;
    // The stores listed, in order, ticked; relative paths resolved against the
    // file's folder. Empty for a missing file.
    QList<StoreChoice> stores() const;
    // Makes the ticked choices the profile's stores, in their order. The
    // default store stays when it is still listed, else it is the first one.
    bool write(const QList<StoreChoice>& choices);
    const QString& lastError() const { return m_lastError; }

private:
    QString m_file;
    QString m_lastError;
};

// Makes path an empty Maildir++ tree (the folder with cur/, new/ and tmp/)
// unless it is one already. A folder that holds anything else is refused, so
// that nothing of the user's is mixed into a store.
bool createMaildirTree(const QString& path, QString* error);

} // namespace kestrel::shell
