#pragma once

// Exchange-internal (X.500) addresses in SMTP form, the way Exchange itself
// writes them: "IMCEAEX-" and the name with "/" as "_" and other characters as
// "+XX", at a domain that never resolves. Lets a sender without an SMTP
// address keep a valid From: header and come back as the same X.500 name.

#include <QString>

#include <optional>

namespace kestrel::platform::msg {

QString toImceaex(const QString& x500);
std::optional<QString> fromImceaex(const QString& address);

} // namespace kestrel::platform::msg
