#pragma once

#include "platform/Form.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace pelloway {

class SettingsFiles;
struct SharedValues;

// "ID,PASS": the account ID and password, and whether to save them.
class IdPassForm : public Form
{
    Q_OBJECT
public:
    IdPassForm(SharedValues& values, SettingsFiles& files);

    void Form_Load() override;
    void OKCommand_Click();
    void CancelCommand_Click();

    QLineEdit* IdText = nullptr;
    QLineEdit* PassText = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* OKCommand = nullptr;
    QPushButton* CancelCommand = nullptr;

private:
    SharedValues& m_values;
    SettingsFiles& m_files;
};

} // namespace pelloway
