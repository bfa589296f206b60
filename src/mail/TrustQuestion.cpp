#include "mail/TrustQuestion.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QMessageBox>

namespace pelloway {

namespace {

QString Names(const QString& displayName, const QStringList& organisation)
{
    QString text = displayName.isEmpty() ? QStringLiteral("(なし)") : displayName;
    if (!organisation.isEmpty() && !organisation.contains(displayName))
        text += QStringLiteral(" / ") + organisation.join(QStringLiteral(", "));
    return text;
}

QString Day(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                          : QStringLiteral("?");
}

} // namespace

QString TrustQuestion::Text(const pop3::CertificateProblem& problem)
{
    const QSslCertificate& certificate = problem.certificate;
    QString text;
    if (problem.changed)
        text += QStringLiteral("サーバー %1 の証明書が、以前に信頼したものから変わっています。\n"
                               "サーバーが証明書を更新したのでなければ、通信が横取りされている"
                               "おそれがあります。\n\n")
                    .arg(problem.server);
    text += QStringLiteral("サーバー %1 の証明書を確認できませんでした。\n").arg(problem.server);
    for (const QString& reason : problem.Reasons())
        text += QStringLiteral("・") + reason + u'\n';
    text += u'\n';
    text += QStringLiteral("発行先: ") +
            Names(certificate.subjectDisplayName(), certificate.subjectInfo(QSslCertificate::Organization)) +
            u'\n';
    text += QStringLiteral("発行者: ") +
            Names(certificate.issuerDisplayName(), certificate.issuerInfo(QSslCertificate::Organization)) +
            u'\n';
    text += QStringLiteral("有効期間: %1 から %2 まで\n")
                .arg(Day(certificate.effectiveDate()), Day(certificate.expiryDate()));
    text += QStringLiteral("SHA-256 フィンガープリント:\n") +
            pop3::FingerprintText(pop3::CertificateDigest(certificate)) + QStringLiteral("\n\n");
    text += QStringLiteral("フィンガープリントをサーバーの管理者に確かめたうえで、この証明書を"
                           "このサーバー(%1)について今後も信頼しますか?")
                .arg(problem.server);
    return text;
}

std::unique_ptr<QMessageBox> TrustQuestion::MakeBox(const pop3::CertificateProblem& problem)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, QStringLiteral("エラー"), Text(problem),
                                             QMessageBox::Yes | QMessageBox::No);
    box->setTextFormat(Qt::PlainText); // names from the certificate, never markup
    box->button(QMessageBox::Yes)->setText(QStringLiteral("信頼する"));
    box->button(QMessageBox::No)->setText(QStringLiteral("信頼しない"));
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

bool TrustQuestion::Ask(const pop3::CertificateProblem& problem)
{
    return MakeBox(problem)->exec() == QMessageBox::Yes;
}

} // namespace pelloway
