#pragma once

#include "platform/Form.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace pelloway {

class SettingsFiles;
struct SharedValues;

// "サーバー設定": the SMTP and POP3 server names, the mail address and the APOP choice.
class OptionForm : public Form
{
    Q_OBJECT
public:
    OptionForm(SharedValues& values, SettingsFiles& files);

    void Form_Load() override;
    void OkCommand_Click();
    void CancelCommand_Click();

    QLineEdit* SmtpText = nullptr;
    QLineEdit* Pop3Text = nullptr;
    QLineEdit* MailText = nullptr;
    QCheckBox* ApopCheck = nullptr;
    QPushButton* OkCommand = nullptr;
    QPushButton* CancelCommand = nullptr;

private:
    SharedValues& m_values;
    SettingsFiles& m_files;
};

} // namespace pelloway
