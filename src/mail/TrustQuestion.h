#pragma once
// The "エラー" box of a certificate the program does not trust, turned into a question:
// the server, what is wrong, who the certificate names and who signed it, how long it is
// valid and its SHA-256 fingerprint, and whether to trust exactly this certificate for
// this server from now on.

#include "platform/TlsTrust.h"

#include <QString>
#include <memory>

class QMessageBox;

namespace pelloway {

class TrustQuestion
{
public:
    static QString Text(const pop3::CertificateProblem& problem);
    // Title "エラー", the text as plain text, "信頼する" (Yes) and "信頼しない" (No, the
    // default and the answer of Esc and the close box).
    static std::unique_ptr<QMessageBox> MakeBox(const pop3::CertificateProblem& problem);
    // Shows the box modally; true when the user chose to trust the certificate.
    static bool Ask(const pop3::CertificateProblem& problem);
};

} // namespace pelloway
