#include "settings/OptionForm.h"

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

namespace {

QLineEdit* serverBox(QWidget* parent, int top)
{
    auto* box = new QLineEdit(parent);
    PlaceTwips(box, 120, top, 2652, 264);
    RestrictToAnsi(box);
    return box;
}

} // namespace

OptionForm::OptionForm(SharedValues& values, SettingsFiles& files)
    : Form(nullptr, FixedDialogFlags()), m_values(values), m_files(files)
{
    setWindowTitle(QStringLiteral("サーバー設定"));
    SetUpDialog(this, 2895, 3015);

    Label1 = MakeLabel(this, QStringLiteral("SMTPサーバー名(&S)"), CaptionBlue, 120, 120, 1575, 195);
    SmtpText = serverBox(this, 360);
    Label2 = MakeLabel(this, QStringLiteral("POP3サーバー名(&P)"), CaptionBlue, 120, 720, 1635, 195);
    Pop3Text = serverBox(this, 960);
    Label3 = MakeLabel(this, QStringLiteral("メールアドレス(&M)"), CaptionBlue, 120, 1320, 1635, 195);
    MailText = serverBox(this, 1560);
    // Each caption's access key moves to the box below it.
    Label1->setBuddy(SmtpText);
    Label2->setBuddy(Pop3Text);
    Label3->setBuddy(MailText);

    ApopCheck = new QCheckBox(QStringLiteral("APOP を使用する(&A)"), this);
    PlaceTwips(ApopCheck, 480, 2040, 2172, 252);
    QPalette blue = ApopCheck->palette();
    blue.setColor(QPalette::WindowText, CaptionBlue);
    ApopCheck->setPalette(blue);

    OkCommand = new QPushButton(QStringLiteral("設定"), this);
    PlaceTwips(OkCommand, 660, 2520, 972, 372);
    CancelCommand = new QPushButton(QStringLiteral("中止"), this);
    PlaceTwips(CancelCommand, 1860, 2520, 912, 372);

    setTabOrder(SmtpText, Pop3Text);
    setTabOrder(Pop3Text, ApopCheck);
    setTabOrder(ApopCheck, OkCommand);
    setTabOrder(OkCommand, CancelCommand);
    setTabOrder(CancelCommand, MailText);
    NameControls({{Label1, "Label1"},
                  {SmtpText, "SmtpText"},
                  {Label2, "Label2"},
                  {Pop3Text, "Pop3Text"},
                  {Label3, "Label3"},
                  {MailText, "MailText"},
                  {ApopCheck, "ApopCheck"},
                  {OkCommand, "OkCommand"},
                  {CancelCommand, "CancelCommand"}});

    connect(OkCommand, &QPushButton::clicked, this, [this] { OkCommand_Click(); });
    connect(CancelCommand, &QPushButton::clicked, this, [this] { CancelCommand_Click(); });
}

void OptionForm::Form_Load()
{
    // Topmost from the start: above the main window and other programs' windows.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    SmtpText->setText(m_values.SmtpServer);
    Pop3Text->setText(m_values.PopServer);
    MailText->setText(m_values.MailAddress);
    // A hand-edited APOP value other than 0 shows as checked, as the check uses it.
    ApopCheck->setChecked(m_values.ApopFlag != 0);
}

void OptionForm::OkCommand_Click()
{
    m_values.SmtpServer = SmtpText->text();
    m_values.PopServer = Pop3Text->text();
    m_values.MailAddress = MailText->text();
    m_values.ApopFlag = ApopCheck->isChecked() ? 1 : 0;
    if (!m_files.SaveServerSettings(m_values)) {
        ReportSaveFailure(this, m_files.serverFilePath());
        return; // open with what was typed
    }
    close();
}

void OptionForm::CancelCommand_Click()
{
    close();
}

void OptionForm::keyPressEvent(QKeyEvent* event)
{
    if (!PressDialogKey(this, event, nullptr, CancelCommand))
        Form::keyPressEvent(event);
}

} // namespace pelloway
