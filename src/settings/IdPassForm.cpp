#include "settings/IdPassForm.h"

#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace pelloway {

IdPassForm::IdPassForm(SharedValues& values, SettingsFiles& files)
    : Form(nullptr, FixedDialogFlags())
    , m_values(values)
    , m_files(files)
{
    setWindowTitle(QStringLiteral("ID,PASS"));
    IdText = new QLineEdit(this);
    PassText = new QLineEdit(this);
    PassText->setEchoMode(QLineEdit::Password);
    Check1 = new QCheckBox(this);
    OKCommand = new QPushButton(QStringLiteral("OK"), this);
    CancelCommand = new QPushButton(QStringLiteral("Cancel"), this);
    connect(OKCommand, &QPushButton::clicked, this, [this] { OKCommand_Click(); });
    connect(CancelCommand, &QPushButton::clicked, this, [this] { CancelCommand_Click(); });
}

void IdPassForm::Form_Load()
{
    const auto [id, password] = m_files.LoadSavedAccount();
    IdText->setText(id);
    PassText->setText(password);
}

void IdPassForm::OKCommand_Click()
{
    m_values.AccountId = IdText->text();
    m_values.AccountPassword = PassText->text();
    m_files.StoreAccount(m_values.AccountId, m_values.AccountPassword, Check1->isChecked());
    close();
}

void IdPassForm::CancelCommand_Click()
{
    close();
}

} // namespace pelloway
