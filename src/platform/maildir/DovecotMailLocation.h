#pragma once

// The Maildir that Dovecot's mail_location names, for users whose mail a local
// Dovecot serves. Read through doveconf, which may be missing, slow or refuse:
// any of that just means no answer.

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel::platform::maildir {

class DovecotMailLocation {
public:
    // doveconf: the program and its leading arguments, such as {"doveconf"}.
    DovecotMailLocation(QStringList doveconf, int timeoutMs)
        : m_doveconf(std::move(doveconf)), m_timeoutMs(timeoutMs)
    {
    }

    // The setting as doveconf prints it; nothing when doveconf cannot be run,
    // fails or does not answer within the timeout.
    std::optional<QString> query() const;

    // The directory of a setting such as "maildir:~/Maildir:LAYOUT=fs" for this
    // home and user; nothing for another mail format, an empty setting (which
    // Dovecot guesses at), or a variable that cannot be filled here.
    static std::optional<QString> maildirPath(const QString& setting, const QString& home,
                                              const QString& user);

private:
    QStringList m_doveconf;
    int m_timeoutMs;
};

} // namespace kestrel::platform::maildir
