#pragma once

// A folder's dovecot-keywords file: lines "N keyword", where keyword N is the
// flag letter 'a' + N in the folder's file names (26 at most).

#include "../PlatformError.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::platform::maildir {

class KeywordFile {
public:
    static constexpr int kMaxKeywords = 26;

    // The keywords by index; an empty slot is an empty text. A missing or
    // unreadable file reads as no keywords.
    static QStringList read(const QString& folderDir);
    static std::optional<QChar> letterOf(const QStringList& keywords, const QString& keyword);
    // The keyword's letter in this folder, added to the file when missing.
    // Nothing when all 26 slots are taken or the file cannot be written.
    static std::optional<QChar> ensure(const QString& folderDir, const QString& keyword,
                                       PlatformError* error);
    // Flags of a file moving from one folder to another: keyword letters of the
    // source become the destination's letters for the same keywords.
    static QString translateFlags(const QString& flags, const QString& fromDir,
                                  const QString& toDir, PlatformError* error);
};

} // namespace kestrel::platform::maildir
