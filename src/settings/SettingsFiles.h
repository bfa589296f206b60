#pragma once
// The three settings files:
//  - "vbmail.ini" in the working directory: four lines SMTP=, POP3=, MAIL=, APOP=;
//  - <application folder>/★MailData/ini.ini, section EXEINI: NUMBER (hang-up choice),
//    NUMBER2 (interval text) and NUMBER3 (new-only choice);
//  - <application folder>/★MailData/iniIdPass.ini, section EXEINI: NAME, NAME2, NAME3
//    (account ID, password, last save choice); readable by its owner only, and made so
//    when found readable by others;
//  - <application folder>/★MailData/trust.ini, section CERTIFICATES: for each server
//    ("host:port") the SHA-256 digest (hex) of the certificate the user chose to trust;
//    readable by its owner only.
// Every file is cp932 with CR LF line ends and is replaced atomically when written. No value
// is cached: each operation opens its file, does its work and closes it.

#include "settings/SharedValues.h"

#include <QString>
#include <utility>

namespace pelloway {

class SettingsFiles
{
public:
    // appFolder: the application folder as reported, without a trailing separator.
    // serverFile: "vbmail.ini", resolved against the current working directory at each use.
    explicit SettingsFiles(QString appFolder, QString serverFile = QStringLiteral("vbmail.ini"));

    QString iniPath() const;
    QString idPassPath() const;
    QString trustPath() const;
    // <application folder>/★MailData/uidl.txt: the unique ids of the mail seen before.
    QString seenMailPath() const;
    const QString& serverFilePath() const { return m_serverFile; }
    const QString& appFolder() const { return m_appFolder; }

    // Reads "vbmail.ini" into the four server values; values without a line keep theirs.
    void LoadServerSettings(SharedValues& values) const;
    // Rewrites "vbmail.ini" with exactly four lines. False when it could not be written.
    bool SaveServerSettings(const SharedValues& values) const;

    int ReadHangUpChoice() const;
    int ReadIntervalMinutes() const;
    // The writes give false when the file could not be written (LastWriteError() says why).
    bool WriteHangUpChoice(int choice) const;
    bool WriteIntervalText(const QString& text) const;
    // NUMBER3: 1 = count only mail not seen before; 0 (also when missing) = every message.
    int ReadNewMailOnlyChoice() const;
    bool WriteNewMailOnlyChoice(int choice) const;

    // (ID, password), each "" when missing, each at most 255 bytes.
    std::pair<QString, QString> LoadSavedAccount() const;
    // Saving: NAME, NAME2, then NAME3 = "1". Not saving: only NAME3 = "0".
    bool StoreAccount(const QString& id, const QString& password, bool save) const;

    // The SHA-256 digest of the certificate trusted for the server ("host:port"), or empty.
    QByteArray TrustedCertificate(const QString& server) const;
    // Trusts the certificate with this digest for the server from now on, in place of any
    // other. False when it could not be saved.
    bool TrustCertificate(const QString& server, const QByteArray& digest) const;

    // Longest value a "vbmail.ini" line gives, in characters.
    static constexpr int ServerValueLimit = 100;

private:
    QString m_appFolder;
    QString m_serverFile;
};

} // namespace pelloway
