#pragma once

#include <QString>
#include <cstdint>

namespace pelloway {

// The program-wide server and account values. Empty and 0 at program start; loaded and saved
// by SettingsFiles, edited by the server and account dialogs, used by the mail check.
struct SharedValues
{
    QString SmtpServer;
    QString PopServer;
    QString MailAddress;
    std::int16_t ApopFlag = 0; // nonzero: log in with APOP
    QString AccountId;
    QString AccountPassword;
};

} // namespace pelloway
