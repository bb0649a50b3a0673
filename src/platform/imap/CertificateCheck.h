#pragma once

// Whether a server's TLS certificate chain may be trusted: verified against
// the system's trusted authorities for the host name, or accepted because its
// first certificate is the one the user chose to trust by fingerprint.

#include "../PlatformError.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace kestrel::platform::imap {

// "AB:CD:..." (upper-case hex with colons) of the SHA-256 of a DER certificate.
QString certificateFingerprint(const QByteArray& der);
// Fingerprints compare without case, colons or blanks.
bool sameFingerprint(const QString& a, const QString& b);

// chain: DER certificates, the server's own first. Empty error when trusted;
// else AccessDenied with the verifier's reason and the fingerprint to trust.
PlatformError checkCertificate(const QList<QByteArray>& chain, const QString& host,
                               const QString& trustedFingerprint);

} // namespace kestrel::platform::imap
