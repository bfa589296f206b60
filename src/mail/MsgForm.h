#pragma once

#include "platform/Form.h"

class QLineEdit;

namespace pelloway {

// "新着メッセージ": reports one check for about a second. A message and a number in two
// borderless text boxes; created for each report, topmost from its load step, shown
// without taking the keyboard focus from whatever the user is typing into.
class MsgForm : public Form
{
    Q_OBJECT
public:
    MsgForm();

    // Makes the window topmost and shows it where it stands.
    void Form_Load() override;

    // In tab order.
    QLineEdit* Text2 = nullptr; // the number
    QLineEdit* Text1 = nullptr; // the message

    static constexpr int ClientWidthTwips = 3600;
    static constexpr int ClientHeightTwips = 255;
};

} // namespace pelloway
