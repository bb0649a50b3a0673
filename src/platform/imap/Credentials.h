#pragma once

// Where an IMAP store's password comes from: its PasswordCommand when it has
// one, else the password source the program installed (the window's: the
// system keyring, then a dialog). Never the profile.

#include "ImapAccount.h"

#include <QString>

#include <optional>

namespace kestrel::platform::imap {

class PasswordSource {
public:
    virtual ~PasswordSource() = default;
    // A password for account, or nullopt when the user gave none. whyAsked is
    // empty on the first request and holds the server's words after a refused
    // login.
    virtual std::optional<QString> password(const ImapAccount& account,
                                            const QString& whyAsked) = 0;
    // The server accepted the password last given for account.
    virtual void accepted(const ImapAccount& account, const QString& password)
    {
        (void)account;
        (void)password;
    }
};

// The program's password source; nullptr (the default) asks nobody. Not owned.
void setPasswordSource(PasswordSource* source);
PasswordSource* passwordSource();

// The first line of the output of command, run by /bin/sh, without its line
// end. Fails with the command's exit status and error output, when it prints
// nothing, or when it has not ended after timeoutMs (it is killed then, with
// whatever it started).
std::optional<QString> runPasswordCommand(const QString& command, PlatformError* error,
                                          int timeoutMs = 30000);

// The password for a login: the account's command, else the installed source.
// whyAsked as for PasswordSource::password. Fails (AccessDenied) when neither
// gives one.
std::optional<QString> findPassword(const ImapAccount& account, const QString& whyAsked,
                                    PlatformError* error);

} // namespace kestrel::platform::imap
