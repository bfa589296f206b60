#pragma once
// What the TLS check trusts and how a refused certificate is described to the user.
//
// Trusted: the system's CA store, the CA certificates named by SSL_CERT_FILE (a PEM file)
// and SSL_CERT_DIR (folders of PEM files, separated by ':') as OpenSSL's own tools read
// them, and those a caller adds. Beyond that a user may trust one certificate for one
// server: it is remembered by its SHA-256 digest and matches exactly that certificate.

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>

namespace pelloway::pop3 {

// A certificate that failed the check, for the user to judge.
struct CertificateProblem
{
    QString server;              // ServerAddress::Key() of the connection
    QSslCertificate certificate; // the server's own
    QList<QSslError::SslError> errors;
    bool changed = false; // another certificate is trusted for this server

    bool isNull() const { return certificate.isNull(); }
    // One Japanese line per problem, the library's own words in parentheses.
    QStringList Reasons() const;
};

// The CA certificates of SSL_CERT_FILE and SSL_CERT_DIR, read afresh at each call.
QList<QSslCertificate> EnvironmentCaCertificates();

// The SHA-256 digest of the certificate's DER form (32 bytes).
QByteArray CertificateDigest(const QSslCertificate& certificate);
// "AB:CD:…": the digest as upper-case hex pairs.
QString FingerprintText(const QByteArray& digest);

// A Japanese sentence for one verification problem: host name, expiry, unknown issuer.
QString ProblemText(QSslError::SslError error);

} // namespace pelloway::pop3
