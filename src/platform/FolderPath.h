#pragma once

// A folder's path as the user, the settings and the task lists see it:
// "\\Store\Inbox\Q1%2FQ2", the store's name and then one name per level. Inside
// every element "%" is written "%25", "\" "%5C" and "/" "%2F", and a name "."
// or ".." has its dots written "%2E", so that a path splits at each backslash,
// reads back exactly, and no element is a step in a file system path. The
// short form drops the leading "\\"; a relative path ("Inbox\Clients") has no
// store.

#include <QString>
#include <QStringList>

namespace kestrel::platform {

class FolderPath {
public:
    FolderPath() = default;
    FolderPath(QString store, QStringList names);

    // Reads "\\Store\A\B" or its short form "Store\A\B"; "" gives an empty path.
    static FolderPath parse(const QString& path);
    // The names of a relative path; "" gives none.
    static QStringList parseRelative(const QString& relativePath);
    static QString joinRelative(const QStringList& names);

    // One name as a path element, and back. Only the escapes escape() writes
    // are read back; any other "%" stays as it is.
    static QString escape(const QString& name);
    static QString unescape(const QString& element);

    bool isEmpty() const { return m_store.isEmpty() && m_names.isEmpty(); }
    const QString& store() const { return m_store; }
    // The names below the store, unescaped; none for the store's root.
    const QStringList& names() const { return m_names; }
    FolderPath child(const QString& name) const;

    QString toString() const;       // "\\Store\A"
    QString toShortString() const;  // "Store\A"
    QString relativeString() const; // "A", without the store

private:
    QString m_store;
    QStringList m_names;
};

// Replaces each "%XX" (upper-case hex) whose character is one of `escaped` by
// that character, in one pass; every other "%" stays as it is.
QString decodePercentEscapes(QStringView text, QStringView escaped);

} // namespace kestrel::platform
