#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kestrel::test {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList errLines() const { return err.split(u'\n', Qt::SkipEmptyParts); }
};

// Environment for a program under test: its own settings and state folders
// below home, no terminal, no display.
QProcessEnvironment cliEnvironment(const QString& home);

// Runs program with arguments to its end (standard input closed).
CliResult runProgram(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& environment);

// Every file below dir with its bytes and modification time, for comparing a
// whole tree before and after.
QMap<QString, QString> treeSnapshot(const QString& dir);

} // namespace kestrel::test
