#pragma once

#include "platform/Form.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelloway {

class SettingsFiles;

// What the settings dialog reaches on the main window: the interval banner, the one-second
// counting tick, and the two other dialogs.
class SetFormHost
{
public:
    virtual ~SetFormHost() = default;
    virtual void SetIntervalIndicator(const QString& onOff) = 0; // Label2(1): "ON" / "OFF"
    virtual void SetIntervalSwitch(int value) = 0;               // Check3: 1 ON, 0 OFF
    virtual void SetIntervalMirrorText(const QString& text) = 0; // Text5
    virtual void SetCountingTick(int ms) = 0;                    // 0 stops the tick
    virtual void ShowIdPassForm() = 0;
    virtual void ShowOptionForm() = 0;
};

// "設定": the interval (Text2), the hang-up choice (Check1) and, below the interval, the
// new-only choice (Check2). The object also keeps the check options for the running program
// while hidden. It has no OK or cancel button:
// the close box closes it, and closing writes both options to ini.ini.
class SetForm : public Form
{
    Q_OBJECT
public:
    SetForm(SettingsFiles& files, SetFormHost& host);

    QString IntervalText() const;
    void SetIntervalText(const QString& text); // runs the change handling when the text differs
    int HangUpChoice() const;                  // 1 checked, 0 not
    void SetHangUpChoice(int value);           // 1 checks, 0 clears, others change nothing
    int NewMailOnlyChoice() const;             // 1 checked, 0 not
    void SetNewMailOnlyChoice(int value);      // 1 checks, 0 clears, others change nothing

    void Form_Load() override;
    // Saves; a failed save shows a box naming the file and keeps the dialog open.
    bool Form_Unload() override;
    // The close step's writes, also used when the program ends with the dialog loaded.
    // False when ini.ini could not be written.
    bool SaveCheckOptions();

    void Text2_Change();
    void Command1_Click();
    void Command2_Click();

    // Controls, named as designed.
    QPushButton* Command1 = nullptr; // "ID/PASS"
    QPushButton* Command2 = nullptr; // "POPサーバー"
    QCheckBox* Check1 = nullptr;     // hang-up choice
    QLabel* Label1 = nullptr;
    QFrame* Line1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text2 = nullptr; // interval in minutes, as typed
    QLabel* Label2 = nullptr;   // "分"
    QFrame* Line2 = nullptr;
    QCheckBox* Check2 = nullptr; // new-only choice
    QLabel* Label4 = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    SettingsFiles& m_files;
    SetFormHost& m_host;
};

} // namespace pelloway
