#pragma once

#include <QString>

namespace kestrel::platform {

// What went wrong, for callers that branch on it. The text is for a person.
enum class ErrorKind {
    None,
    NotFound,     // the folder, message, file or store is not there
    AccessDenied, // the file system or store refused
    Invalid,      // bad argument, unparsable filter, malformed data
    Io,           // read, write, fsync or rename failed
    Unsupported,  // the backend cannot do this
    Exists,       // a folder or file of that name is already there
};

struct PlatformError {
    ErrorKind kind = ErrorKind::None;
    int code = 0;   // errno or backend code; 0 = success
    QString text;   // short, for a dialog or a log line
    QString detail; // path, errno text, parser position

    bool ok() const { return kind == ErrorKind::None; }

    // The error of a failed system call: EACCES, EPERM and EROFS are
    // AccessDenied, ENOENT and ENOTDIR NotFound, EEXIST Exists, anything else
    // Io. The detail gets the system's words for code appended.
    static PlatformError fromErrno(int code, const QString& text, const QString& detail);
};

// Base of every platform object: each call that fails records why here and
// returns an empty value (nullptr, std::nullopt or false); a call that succeeds
// clears it. Nothing is thrown across the interface.
class ErrorHolder {
public:
    const PlatformError& lastError() const { return m_lastError; }

protected:
    void clearError() { m_lastError = {}; }
    void setError(ErrorKind kind, const QString& text, const QString& detail = {}, int code = -1)
    {
        m_lastError = {kind, code, text, detail};
    }
    void setError(const PlatformError& error) { m_lastError = error; }

private:
    PlatformError m_lastError;
};

} // namespace kestrel::platform
