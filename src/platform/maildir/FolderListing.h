#pragma once

// The names one scan of a folder found in cur/ and new/, sorted by unique
// name (then by the rest of the name), held compactly: the bytes of every
// name in one block, and a small record per name. A folder of a million
// messages costs about 60 bytes a message, not a string object per name;
// MessageEntry values are made on request.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <utility>
#include <vector>

namespace kestrel::platform::maildir {

struct MessageEntry {
    QString fileName; // in cur/ or new/
    bool inNew = false;
    bool regular = false; // the listing's directory entry said a regular file
};

class FolderListing {
public:
    // While listing: a directory entry's name as the file system gave it.
    void add(QByteArrayView name, bool inNew, bool regular);
    // Once every name is added, for range(); a listing that is never
    // searched by range() keeps the order the names came in.
    void sort();

    qsizetype size() const { return qsizetype(m_names.size()); }
    MessageEntry at(qsizetype i) const;
    // The name's bytes as the file system gave them.
    QByteArrayView nameBytesAt(qsizetype i) const { return bytes(m_names[size_t(i)]); }
    QByteArrayView uniqueAt(qsizetype i) const { return unique(m_names[size_t(i)]); }
    bool inNewAt(qsizetype i) const { return m_names[size_t(i)].inNew; }
    bool regularAt(qsizetype i) const { return m_names[size_t(i)].regular; }
    // The positions [first, last) whose unique name has these bytes.
    std::pair<qsizetype, qsizetype> range(QByteArrayView unique) const;

private:
    struct Name {
        quint32 offset = 0; // in m_bytes
        quint16 size = 0;   // a file name has at most 255 bytes
        quint16 uniqueSize = 0;
        bool inNew = false;
        bool regular = false;
    };
    QByteArrayView bytes(const Name& name) const
    {
        return {m_bytes.constData() + name.offset, name.size};
    }
    QByteArrayView unique(const Name& name) const
    {
        return {m_bytes.constData() + name.offset, name.uniqueSize};
    }

    QByteArray m_bytes;
    std::vector<Name> m_names;
};

} // namespace kestrel::platform::maildir
