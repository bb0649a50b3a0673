#pragma once

// Counts the messages of a Maildir tree without changing anything: every
// directory below the root that holds cur/ and new/ is a folder, and the
// entries of its cur/ and new/ are its messages (one directory read each, no
// stat per message). Symbolic links below the root are never followed, and the
// walk stops at a cap of directories and of depth, so a huge or wrong tree
// costs a bounded time.

#include "../PlatformError.h"

#include <QString>

#include <optional>

namespace kestrel::platform::maildir {

struct MaildirTreeCount {
    bool rootIsFolder = false; // the root itself holds cur/ and new/ (a Maildir++ root)
    int folders = 0;
    qint64 messages = 0;
    int directories = 0; // directories read, cur/ and new/ aside
    bool capped = false; // the walk stopped at a cap: the counts are a lower bound
};

class MaildirTreeCounter {
public:
    explicit MaildirTreeCounter(int directoryCap = 5000, int depthCap = 12)
        : m_directoryCap(directoryCap), m_depthCap(depthCap)
    {
    }

    // Fails (and says why in *error) only when the root cannot be read.
    std::optional<MaildirTreeCount> count(const QString& root, PlatformError* error) const;

private:
    void visit(int dirFd, int depth, bool isRoot, MaildirTreeCount& walk) const;

    int m_directoryCap;
    int m_depthCap;
};

} // namespace kestrel::platform::maildir
