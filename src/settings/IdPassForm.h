#pragma once

#include "platform/Form.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelloway {

class SettingsFiles;
struct SharedValues;

// "ID,PASS": the account ID and password, and whether to save them. "OK" (Enter) takes the
// fields and stores them as the save box says; "Cancel", Esc or the close box drop them.
class IdPassForm : public Form
{
    Q_OBJECT
public:
    IdPassForm(SharedValues& values, SettingsFiles& files);

    void Form_Load() override;
    void OKCommand_Click();
    void CancelCommand_Click();

    // Controls, named as designed.
    QLabel* Label1 = nullptr; // "ID"
    QLineEdit* IdText = nullptr;
    QLabel* Label2_0 = nullptr;           // Label2(0): "Password"
    QLineEdit* PassText = nullptr;        // shows "*" for every character
    QCheckBox* Check1 = nullptr;          // save choice, unchecked whenever the dialog is created
    QLabel* Label2_1 = nullptr;           // Label2(1): the save box's caption
    QPushButton* OKCommand = nullptr;     // the default button
    QPushButton* CancelCommand = nullptr; // the cancel button

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    SharedValues& m_values;
    SettingsFiles& m_files;
};

} // namespace pelloway
