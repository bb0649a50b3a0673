#pragma once

#include <QString>
#include <QTemporaryDir>

namespace kestrel::test {

// A temporary directory removed at the end of the test.
class TempDir {
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};

// Files of the read-only shared corpus, e.g. corpusPath("eml/basic-lf.eml").
QString corpusPath(const QString& relative);

// Files below dir at any depth, hidden ones too, whose names match pattern
// ("*.msg", in any case): their paths relative to dir, sorted.
QStringList filesBelow(const QString& dir, const QString& pattern);

} // namespace kestrel::test
