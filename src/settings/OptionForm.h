#pragma once

#include "platform/Form.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelloway {

class SettingsFiles;
struct SharedValues;

// "サーバー設定": the SMTP and POP3 server names, the mail address and the APOP choice. Stays
// above other windows while open. "設定" keeps the fields and rewrites vbmail.ini; "中止", Esc
// or the close box drop them. There is no default button.
class OptionForm : public Form
{
    Q_OBJECT
public:
    OptionForm(SharedValues& values, SettingsFiles& files);

    void Form_Load() override;
    void OkCommand_Click();
    void CancelCommand_Click();

    // Controls, named as designed.
    QLabel* Label1 = nullptr; // "SMTPサーバー名(&S)"
    QLineEdit* SmtpText = nullptr;
    QLabel* Label2 = nullptr; // "POP3サーバー名(&P)"
    QLineEdit* Pop3Text = nullptr;
    QLabel* Label3 = nullptr; // "メールアドレス(&M)"
    QLineEdit* MailText = nullptr;
    QCheckBox* ApopCheck = nullptr;
    QPushButton* OkCommand = nullptr;     // "設定"
    QPushButton* CancelCommand = nullptr; // "中止", the cancel button

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    SharedValues& m_values;
    SettingsFiles& m_files;
};

} // namespace pelloway
