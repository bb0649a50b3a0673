#pragma once

// Reads an MS-CFB compound file held in memory through libgsf, with the checks a
// hostile file needs: every stream's claimed size is held against the file size,
// and all reads together draw on one byte budget, so streams that share sectors
// cannot multiply the memory used.

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

typedef struct _GsfInfile GsfInfile;
typedef struct _GsfInput GsfInput;

namespace kestrel::platform::msg {

class CompoundReader {
public:
    // A storage of the file; empty when absent.
    using Storage = std::shared_ptr<GsfInfile>;

    CompoundReader();
    ~CompoundReader();
    CompoundReader(const CompoundReader&) = delete;
    CompoundReader& operator=(const CompoundReader&) = delete;

    // Returns false and sets errorText() when `data` is no compound file.
    bool open(const QByteArray& data);
    Storage root() const { return m_root; }

    // The names of a storage's children, in the order of their index. Only the
    // names: making libgsf's child objects reads their data.
    std::vector<QString> names(const Storage& storage);
    Storage storage(const Storage& parent, const QString& name);
    // By index: libgsf finds a child by name with a linear search.
    Storage storageAt(const Storage& parent, int index);
    // nullopt when absent, or when it cannot be read whole (larger than the
    // file, over the byte budget, a broken sector chain): then damaged() is set
    // and errorText() names the stream.
    std::optional<QByteArray> stream(const Storage& parent, const QString& name);
    // The same for the child at `index` (named `name`). With `inPlace`, a
    // value whose blocks lie in a row in the file is not copied: the bytes are
    // the file's own, valid as long as the data given to open().
    std::optional<QByteArray> streamAt(const Storage& parent, int index, const QString& name,
                                       bool inPlace);
    QByteArray classId() const;

    const QString& errorText() const { return m_error; }
    bool damaged() const { return m_damaged; }

private:
    std::optional<QByteArray> read(GsfInput* child, const QString& name, bool inPlace);

    QByteArray m_data;
    GsfInput* m_source = nullptr;
    Storage m_root;
    qint64 m_budget = 0;
    bool m_damaged = false;
    QString m_error;
};

} // namespace kestrel::platform::msg
