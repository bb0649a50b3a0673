#pragma once

// Names on disk in a Maildir++ store, as Dovecot reads it with
// mail_location = maildir:PATH.
//
// Folders: the store's Maildir root is INBOX ("Inbox" to the user); every other
// folder is a directory ".A.B.C" beside cur/new/tmp, one component per level
// (Inbox's children are ".INBOX.Child"). A component is the display name with
// "%" "." "/" written "%25" "%2E" "%2F" (the layout has no room for "." and "/",
// and Dovecot's own separator is "."), then encoded in modified UTF-7 as
// Dovecot stores mailbox names. Dovecot therefore shows such a folder with the
// escapes in its name; everything else reads the same in both.

#include <QString>

namespace kestrel::platform::maildir {

QString encodeFolderComponent(const QString& displayName);
// Returns a null QString when the component is not valid modified UTF-7.
QString decodeFolderComponent(const QString& onDisk);
// The name shown for a component found on disk; never fails. *canonical:
// the component is what encodeFolderComponent writes for that name. Other
// spellings (other tools' folders, broken modified UTF-7, bytes that are not
// UTF-8) still give a name, with unreadable bytes written "%XX". The names
// "", "." and ".." are never given: they would be path elements of their own.
QString folderDisplayName(const QString& onDisk, bool* canonical);
// Whether a folder may be created under this name ("", "." and ".." may not).
bool isUsableFolderName(const QString& name);

// Modified UTF-7 (RFC 3501 section 5.1.3).
QString encodeModifiedUtf7(const QString& text);
QString decodeModifiedUtf7(const QString& text); // null on malformed input

// The folder-type marker: a file in the folder's directory that Dovecot ignores,
// holding the default item type in decimal. Missing = 0 (mail).
inline constexpr const char* kFolderTypeFile = "kestrel-folder-type";

// The keyword that carries the "No Archive" mark, kept in dovecot-keywords.
inline constexpr const char* kNoArchiveKeyword = "$NoArchive";

} // namespace kestrel::platform::maildir
