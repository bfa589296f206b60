#include "settings/IdPassForm.h"

#include "platform/AnsiValidator.h"
#include "platform/Twips.h"
#include "settings/DialogLook.h"
#include "settings/SaveFailure.h"
#include "settings/SettingsFiles.h"
#include "settings/SharedValues.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pelloway {

IdPassForm::IdPassForm(SharedValues& values, SettingsFiles& files)
    : Form(nullptr, FixedDialogFlags()), m_values(values), m_files(files)
{
    setWindowTitle(QStringLiteral("ID,PASS"));
    SetUpDialog(this, 2880, 1785);

    const QColor black(0, 0, 0);
    Label1 = MakeLabel(this, QStringLiteral("ID"), black, 120, 180, 675, 255);
    IdText = new QLineEdit(this);
    PlaceTwips(IdText, 960, 120, 1632, 264);
    RestrictToAnsi(IdText);
    Label2_0 = MakeLabel(this, QStringLiteral("Password"), black, 120, 600, 795, 255);
    PassText = new QLineEdit(this);
    PlaceTwips(PassText, 960, 600, 1632, 264);
    RestrictToAnsi(PassText);
    PassText->setEchoMode(QLineEdit::Password);
    // Every character shows as "*", at once (no last-character peek).
    PassText->setStyleSheet(
        QStringLiteral("lineedit-password-character: 42; lineedit-password-mask-delay: 0;"));

    Check1 = new QCheckBox(this);
    PlaceTwips(Check1, 420, 1020, 255, 255);
    Label2_1 = MakeLabel(this, QStringLiteral("IDパスワードを保存する"), CaptionBlue, 780, 1020, 1875, 255);

    OKCommand = new QPushButton(QStringLiteral("OK"), this);
    PlaceTwips(OKCommand, 900, 1380, 852, 312);
    OKCommand->setDefault(true);
    CancelCommand = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceTwips(CancelCommand, 1860, 1380, 852, 312);

    setTabOrder(IdText, PassText);
    setTabOrder(PassText, OKCommand);
    setTabOrder(OKCommand, CancelCommand);
    setTabOrder(CancelCommand, Check1);
    NameControls({{Label1, "Label1"},
                  {IdText, "IdText"},
                  {Label2_0, "Label2(0)"},
                  {PassText, "PassText"},
                  {Check1, "Check1"},
                  {Label2_1, "Label2(1)"},
                  {OKCommand, "OKCommand"},
                  {CancelCommand, "CancelCommand"}});

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
    if (!m_files.StoreAccount(m_values.AccountId, m_values.AccountPassword, Check1->isChecked())) {
        ReportSaveFailure(this, m_files.idPassPath());
        return; // open with what was typed
    }
    close();
}

void IdPassForm::CancelCommand_Click()
{
    close();
}

void IdPassForm::keyPressEvent(QKeyEvent* event)
{
    if (!PressDialogKey(this, event, OKCommand, CancelCommand))
        Form::keyPressEvent(event);
}

} // namespace pelloway
