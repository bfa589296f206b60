#include "settings/SetForm.h"

#include "platform/Runtime.h"
#include "settings/SettingsFiles.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace pelloway {

SetForm::SetForm(SettingsFiles& files, SetFormHost& host)
    : Form(nullptr, FixedDialogFlags())
    , m_files(files)
    , m_host(host)
{
    setWindowTitle(QStringLiteral("設定"));
    Command1 = new QPushButton(QStringLiteral("ID/PASS"), this);
    Command2 = new QPushButton(QStringLiteral("POPサーバー"), this);
    Check1 = new QCheckBox(this);
    Text2 = new QLineEdit(this);

    connect(Text2, &QLineEdit::textChanged, this, [this] { Text2_Change(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

QString SetForm::IntervalText() const
{
    return Text2->text();
}

void SetForm::SetIntervalText(const QString& text)
{
    Text2->setText(text);
}

int SetForm::HangUpChoice() const
{
    return Check1->isChecked() ? 1 : 0;
}

void SetForm::SetHangUpChoice(int value)
{
    if (value == 1)
        Check1->setChecked(true);
    else if (value == 0)
        Check1->setChecked(false);
}

void SetForm::Form_Load()
{
    SetHangUpChoice(m_files.ReadHangUpChoice());
    SetIntervalText(QString::number(m_files.ReadIntervalMinutes()));
}

void SetForm::Text2_Change()
{
    if (Text2->text().isEmpty()) {
        Text2->setText(QStringLiteral("0")); // changes the text again: that change goes on with "0"
        return;
    }
    const QString text = Text2->text();
    const double v = TextValue(text);
    if (v > 0) {
        m_host.SetIntervalIndicator(QStringLiteral("ON"));
        m_host.SetCheck3(1);
        m_host.SetText5(text);
        m_host.SetTimer3Interval(1000);
    } else if (v == 0) {
        m_host.SetIntervalIndicator(QStringLiteral("OFF"));
        m_host.SetCheck3(0);
        m_host.SetText5(text);
        m_host.SetTimer3Interval(0);
        m_files.WriteIntervalText(text);
    }
}

void SetForm::SaveCheckOptions()
{
    m_files.WriteHangUpChoice(HangUpChoice());
    m_files.WriteIntervalText(Text2->text());
}

void SetForm::Form_Unload()
{
    SaveCheckOptions();
}

void SetForm::Command1_Click()
{
    m_host.ShowIdPassForm();
}

void SetForm::Command2_Click()
{
    m_host.ShowOptionForm();
}

} // namespace pelloway
