#include "settings/SetForm.h"

#include "platform/AnsiValidator.h"
#include "platform/Fonts.h"
#include "platform/Runtime.h"
#include "platform/Twips.h"
#include "settings/DialogLook.h"
#include "settings/SaveFailure.h"
#include "settings/SettingsFiles.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pelloway {

SetForm::SetForm(SettingsFiles& files, SetFormHost& host)
    : Form(nullptr, FixedDialogFlags()), m_files(files), m_host(host)
{
    setWindowTitle(QStringLiteral("設定"));
    SetUpDialog(this, 3105, 3060);

    Command1 = new QPushButton(QStringLiteral("ID/PASS"), this);
    PlaceTwips(Command1, 120, 120, 1455, 375);
    ColourButton(Command1, QColor(255, 128, 0));
    Command2 = new QPushButton(QStringLiteral("POPサーバー"), this);
    PlaceTwips(Command2, 1560, 120, 1455, 375);
    ColourButton(Command2, QColor(128, 128, 255));

    Check1 = new QCheckBox(this);
    PlaceTwips(Check1, 120, 600, 255, 255);
    Check1->setAutoFillBackground(true); // the face colour behind the box
    Label1 =
        MakeLabel(this, QStringLiteral("新着がなければ接続を切断する。"), CaptionBlue, 480, 645, 2535, 255);

    // One-pixel separators across the dialog, from (0, y) to (3120, y).
    const auto separator = [this](int y) {
        auto* line = new QFrame(this);
        line->setGeometry(0, TwipsToPixels(y), TwipsToPixels(3120), 1);
        line->setAutoFillBackground(true);
        QPalette linePalette = line->palette();
        linePalette.setColor(QPalette::Window, Qt::black);
        line->setPalette(linePalette);
        return line;
    };
    Line1 = separator(960);

    Label5 = MakeLabel(this, QStringLiteral("インターバルメールチェック"), CaptionRed, 120, 1080, 2775, 375);
    Label5->setFont(DesignFont(9, true));
    Label3 =
        MakeLabel(this,
                  QStringLiteral("０以上の数字を入力すると、その間隔で自動的にメールチェックを行います。"
                                 "チェックの都度手動で行う場合は０にしておいて下さい。（単位は分です。）"),
                  CaptionBlue, 120, 1440, 2895, 855);
    Label3->setWordWrap(true);

    Text2 = new QLineEdit(this);
    PlaceTwips(Text2, 2040, 2280, 375, 270);
    RestrictToAnsi(Text2);
    Label2 = MakeLabel(this, QStringLiteral("分"), CaptionRed, 2520, 2325, 495, 255);

    // Below the interval: count only mail not seen before.
    Line2 = separator(2640);
    Check2 = new QCheckBox(this);
    PlaceTwips(Check2, 120, 2745, 255, 255);
    Check2->setAutoFillBackground(true);
    Label4 = MakeLabel(this, QStringLiteral("新しいメールだけ知らせる。"), CaptionBlue, 480, 2790, 2535, 255);
    const QString newOnlyTip = QStringLiteral("前のチェックで知らせたメールは数えません。"
                                              "メールはサーバーから読み出さず、誰から届いたかを通知します。");
    Check2->setToolTip(newOnlyTip);
    Label4->setToolTip(newOnlyTip);

    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Check1);
    setTabOrder(Check1, Text2);
    setTabOrder(Text2, Check2);
    NameControls({{Command1, "Command1"},
                  {Command2, "Command2"},
                  {Check1, "Check1"},
                  {Label1, "Label1"},
                  {Line1, "Line1"},
                  {Label5, "Label5"},
                  {Label3, "Label3"},
                  {Text2, "Text2"},
                  {Label2, "Label2"},
                  {Line2, "Line2"},
                  {Check2, "Check2"},
                  {Label4, "Label4"}});

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

int SetForm::NewMailOnlyChoice() const
{
    return Check2->isChecked() ? 1 : 0;
}

void SetForm::SetNewMailOnlyChoice(int value)
{
    if (value == 1)
        Check2->setChecked(true);
    else if (value == 0)
        Check2->setChecked(false);
}

void SetForm::Form_Load()
{
    SetHangUpChoice(m_files.ReadHangUpChoice());
    SetNewMailOnlyChoice(m_files.ReadNewMailOnlyChoice());
    // The box starts empty, so this is a change and applies the interval.
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
        m_host.SetIntervalSwitch(1);
        m_host.SetIntervalMirrorText(text);
        m_host.SetCountingTick(1000);
    } else if (v == 0) {
        m_host.SetIntervalIndicator(QStringLiteral("OFF"));
        m_host.SetIntervalSwitch(0);
        m_host.SetIntervalMirrorText(text);
        m_host.SetCountingTick(0);
        // Said on standard error only: the close step writes the same value and shows a box.
        if (!m_files.WriteIntervalText(text))
            ReportSaveFailure(nullptr, m_files.iniPath());
    }
    // A negative interval leaves the main window as it is.
}

bool SetForm::SaveCheckOptions()
{
    return m_files.WriteHangUpChoice(HangUpChoice()) && m_files.WriteIntervalText(Text2->text()) &&
           m_files.WriteNewMailOnlyChoice(NewMailOnlyChoice());
}

bool SetForm::Form_Unload()
{
    if (SaveCheckOptions())
        return true;
    ReportSaveFailure(this, m_files.iniPath());
    return false;
}

void SetForm::Command1_Click()
{
    m_host.ShowIdPassForm();
}

void SetForm::Command2_Click()
{
    m_host.ShowOptionForm();
}

void SetForm::keyPressEvent(QKeyEvent* event)
{
    if (!PressDialogKey(this, event, nullptr, nullptr))
        Form::keyPressEvent(event);
}

} // namespace pelloway
