#include "settings/OptionForm.h"

#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace pelloway {

OptionForm::OptionForm(SharedValues& values, SettingsFiles& files)
    : Form(nullptr, FixedDialogFlags() | Qt::WindowStaysOnTopHint)
    , m_values(values)
    , m_files(files)
{
    setWindowTitle(QStringLiteral("サーバー設定"));
    SmtpText = new QLineEdit(this);
    Pop3Text = new QLineEdit(this);
    MailText = new QLineEdit(this);
    ApopCheck = new QCheckBox(QStringLiteral("APOP を使用する(&A)"), this);
    OkCommand = new QPushButton(QStringLiteral("設定"), this);
    CancelCommand = new QPushButton(QStringLiteral("中止"), this);
    connect(OkCommand, &QPushButton::clicked, this, [this] { OkCommand_Click(); });
    connect(CancelCommand, &QPushButton::clicked, this, [this] { CancelCommand_Click(); });
}

void OptionForm::Form_Load()
{
    SmtpText->setText(m_values.SmtpServer);
    Pop3Text->setText(m_values.PopServer);
    MailText->setText(m_values.MailAddress);
    ApopCheck->setChecked(m_values.ApopFlag != 0);
}

void OptionForm::OkCommand_Click()
{
    m_values.SmtpServer = SmtpText->text();
    m_values.PopServer = Pop3Text->text();
    m_values.MailAddress = MailText->text();
    m_values.ApopFlag = ApopCheck->isChecked() ? 1 : 0;
    m_files.SaveServerSettings(m_values);
    close();
}

void OptionForm::CancelCommand_Click()
{
    close();
}

} // namespace pelloway
