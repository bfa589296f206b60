#pragma once
// What the three settings dialogs share: the classic look (grey face, the design font,
// coloured buttons and captions), the program icon, and the Enter and Esc keys.

#include <QColor>
#include <initializer_list>
#include <utility>

class QKeyEvent;
class QLabel;
class QPushButton;
class QWidget;

namespace pelloway {

// The face colour of the dialogs, (192, 192, 192).
inline const QColor DialogFace(192, 192, 192);
inline const QColor CaptionBlue(0, 0, 255);
inline const QColor CaptionRed(255, 0, 0);

// Fixed client size in twips, centred on the screen, the face colour, the 9-point design font
// and the program icon.
void SetUpDialog(QWidget* dialog, int clientWidthTwips, int clientHeightTwips);

// A label placed in twips with its text colour.
QLabel* MakeLabel(QWidget* parent, const QString& text, const QColor& colour, int left, int top, int width,
                  int height);

// Gives each control its designed name as its object name (for tests and accessibility).
void NameControls(std::initializer_list<std::pair<QWidget*, const char*>> controls);

// Paints a button's face in one colour, keeping a raised edge that sinks while pressed.
void ColourButton(QPushButton* button, const QColor& colour);

// The dialog keys of the platform. Enter presses the focused button, or else the default
// button; Esc presses the cancel button. Either button may be null (none). True when the key
// was used.
bool PressDialogKey(QWidget* dialog, QKeyEvent* event, QPushButton* defaultButton, QPushButton* cancelButton);

} // namespace pelloway
