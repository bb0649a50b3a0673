#pragma once

// Builds an MS-CFB compound file in memory through libgsf, in the one way libgsf
// writes sound files: 512-byte sectors, each stream written whole and closed
// before the next, every storage closed before its parent. Names longer than 31
// characters and duplicates within a storage are refused, every libgsf result is
// checked, and libgsf's warnings end up in errorText().

#include <QByteArray>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

typedef struct _GsfOutput GsfOutput;
typedef struct _GsfOutfile GsfOutfile;

namespace kestrel::platform::msg {

class CompoundWriter {
public:
    CompoundWriter();
    ~CompoundWriter();
    CompoundWriter(const CompoundWriter&) = delete;
    CompoundWriter& operator=(const CompoundWriter&) = delete;

    // Each returns false once anything failed; errorText() tells what.
    bool setRootClassId(const QByteArray& clsid);
    bool beginStorage(const QString& name);
    bool endStorage();
    bool writeStream(const QString& name, const QByteArray& data);

    // Closes everything; the file's bytes, or nullopt.
    std::optional<QByteArray> finish();

    const QString& errorText() const { return m_error; }

private:
    struct Level {
        GsfOutfile* storage;
        QSet<QString> names; // upper case: the format compares names that way
    };

    bool fail(const QString& text);
    bool claimName(const QString& name);
    GsfOutput* newChild(const QString& name, bool storage);
    void closeAll();

    GsfOutput* m_sink = nullptr;
    std::vector<Level> m_stack;
    QString m_error;
    bool m_failed = false;
    bool m_finished = false;
};

} // namespace kestrel::platform::msg
