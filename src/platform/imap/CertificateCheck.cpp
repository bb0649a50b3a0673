#include "CertificateCheck.h"

#include <QCryptographicHash>

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <vector>

namespace kestrel::platform::imap {

namespace {

QString normalized(const QString& fingerprint)
{
    QString out;
    for (QChar ch : fingerprint) {
        if (ch.isLetterOrNumber())
            out += ch.toUpper();
    }
    return out;
}

// The chain as GnuTLS certificates, freed with the object.
class CertificateList {
public:
    explicit CertificateList(const QList<QByteArray>& chain)
    {
        for (const QByteArray& der : chain) {
            gnutls_x509_crt_t crt = nullptr;
            if (gnutls_x509_crt_init(&crt) < 0)
                break;
            gnutls_datum_t datum{reinterpret_cast<unsigned char*>(const_cast<char*>(der.data())),
                                 unsigned(der.size())};
            if (gnutls_x509_crt_import(crt, &datum, GNUTLS_X509_FMT_DER) < 0) {
                gnutls_x509_crt_deinit(crt);
                break;
            }
            m_certs.push_back(crt);
        }
    }
    ~CertificateList()
    {
        for (gnutls_x509_crt_t crt : m_certs)
            gnutls_x509_crt_deinit(crt);
    }
    CertificateList(const CertificateList&) = delete;
    CertificateList& operator=(const CertificateList&) = delete;
    std::vector<gnutls_x509_crt_t>& certs() { return m_certs; }

private:
    std::vector<gnutls_x509_crt_t> m_certs;
};

// The verifier's reason for status, or empty when it has none.
QString statusText(unsigned status)
{
    gnutls_datum_t out{};
    if (gnutls_certificate_verification_status_print(status, GNUTLS_CRT_X509, &out, 0) < 0)
        return {};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(out.data), out.size);
    gnutls_free(out.data);
    return text;
}

} // namespace

QString certificateFingerprint(const QByteArray& der)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper());
}

bool sameFingerprint(const QString& a, const QString& b)
{
    return !normalized(a).isEmpty() && normalized(a) == normalized(b);
}

PlatformError checkCertificate(const QList<QByteArray>& chain, const QString& host,
                               const QString& trustedFingerprint)
{
    if (chain.isEmpty())
        return {ErrorKind::AccessDenied,
                -1,
                QStringLiteral("The server %1 sent no certificate").arg(host),
                {}};
    const QString fingerprint = certificateFingerprint(chain.first());
    if (!trustedFingerprint.isEmpty() && sameFingerprint(fingerprint, trustedFingerprint))
        return {};

    QString reason;
    CertificateList certs(chain);
    gnutls_x509_trust_list_t trust = nullptr;
    if (certs.certs().size() != std::size_t(chain.size())) {
        reason = QStringLiteral("the certificate cannot be read");
    } else if (gnutls_x509_trust_list_init(&trust, 0) < 0 ||
               gnutls_x509_trust_list_add_system_trust(trust, 0, 0) < 0) {
        reason = QStringLiteral("the system's trusted certificates cannot be read");
    } else {
        const QByteArray hostName = host.toUtf8();
        gnutls_typed_vdata_st data{
            GNUTLS_DT_DNS_HOSTNAME,
            reinterpret_cast<unsigned char*>(const_cast<char*>(hostName.constData())), 0};
        unsigned status = 0;
        const int result = gnutls_x509_trust_list_verify_crt2(trust, certs.certs().data(),
                                                              unsigned(certs.certs().size()), &data,
                                                              1, 0, &status, nullptr);
        if (result < 0)
            reason = QString::fromUtf8(gnutls_strerror(result));
        else if (status != 0)
            reason = statusText(status);
    }
    if (trust)
        gnutls_x509_trust_list_deinit(trust, 1);
    if (reason.isEmpty())
        return {};
    return {ErrorKind::AccessDenied, -1,
            QStringLiteral("The certificate of %1 is not trusted (%2). Its SHA-256 fingerprint "
                           "is %3; set CertificateFingerprint=%3 to trust it")
                .arg(host, reason.trimmed(), fingerprint),
            fingerprint};
}

} // namespace kestrel::platform::imap
