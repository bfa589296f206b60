#include "platform/TlsTrust.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace pelloway::pop3 {

QStringList CertificateProblem::Reasons() const
{
    QStringList reasons;
    QSet<QString> seen;
    for (QSslError::SslError error : errors) {
        const QString line = ProblemText(error) + u'(' + QSslError(error, certificate).errorString() + u')';
        if (!seen.contains(line)) {
            seen.insert(line);
            reasons.append(line);
        }
    }
    return reasons;
}

QList<QSslCertificate> EnvironmentCaCertificates()
{
    QList<QSslCertificate> certificates;
    const QString file = qEnvironmentVariable("SSL_CERT_FILE");
    if (!file.isEmpty() && QFileInfo(file).isFile())
        certificates += QSslCertificate::fromPath(file, QSsl::Pem);
    const QString dirs = qEnvironmentVariable("SSL_CERT_DIR");
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts)) {
        const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo& entry : entries)
            certificates += QSslCertificate::fromPath(entry.filePath(), QSsl::Pem);
    }
    return certificates;
}

QByteArray CertificateDigest(const QSslCertificate& certificate)
{
    return certificate.isNull() ? QByteArray() : certificate.digest(QCryptographicHash::Sha256);
}

QString FingerprintText(const QByteArray& digest)
{
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

QString ProblemText(QSslError::SslError error)
{
    switch (error) {
    case QSslError::HostNameMismatch:
        return QStringLiteral("証明書に書かれたサーバー名が接続先と一致しません。");
    case QSslError::CertificateExpired:
        return QStringLiteral("証明書の有効期限が切れています。");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("証明書の有効期間がまだ始まっていません。");
    case QSslError::SelfSignedCertificate:
        return QStringLiteral("自己署名の証明書です。");
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("証明書の発行者を信頼できません。");
    case QSslError::CertificateRevoked:
        return QStringLiteral("証明書は失効しています。");
    default:
        return QStringLiteral("証明書を確認できませんでした。");
    }
}

} // namespace pelloway::pop3
