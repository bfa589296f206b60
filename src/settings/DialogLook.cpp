#include "settings/DialogLook.h"

#include "platform/Fonts.h"
#include "platform/Twips.h"

#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace pelloway {

void SetUpDialog(QWidget* dialog, int clientWidthTwips, int clientHeightTwips)
{
    SetClientSizeTwips(dialog, clientWidthTwips, clientHeightTwips);
    // Centred on the screen when first shown.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(), dialog->size());
        area.moveCenter(screen->availableGeometry().center());
        dialog->move(area.topLeft());
    }
    dialog->setAutoFillBackground(true);
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, DialogFace);
    palette.setColor(QPalette::Button, DialogFace);
    dialog->setPalette(palette);
    dialog->setFont(DesignFont(9));
    dialog->setWindowIcon(QIcon(QStringLiteral(":/pelloway/pelloway.png")));
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const QColor& colour, int left, int top, int width,
                  int height)
{
    auto* label = new QLabel(text, parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceTwips(label, left, top, width, height);
    return label;
}

void NameControls(std::initializer_list<std::pair<QWidget*, const char*>> controls)
{
    for (const auto& [control, name] : controls)
        control->setObjectName(QString::fromUtf8(name));
}

void ColourButton(QPushButton* button, const QColor& colour)
{
    const QString rgb =
        QStringLiteral("rgb(%1, %2, %3)").arg(colour.red()).arg(colour.green()).arg(colour.blue());
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: black; border: 2px outset %1; }"
                       "QPushButton:pressed { border-style: inset; }"
                       "QPushButton:focus { border-color: %1; outline: 1px dotted black; }")
            .arg(rgb));
}

bool PressDialogKey(QWidget* dialog, QKeyEvent* event, QPushButton* defaultButton, QPushButton* cancelButton)
{
    if (event->modifiers() & ~Qt::KeypadModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        auto* focused = qobject_cast<QPushButton*>(dialog->focusWidget());
        QPushButton* target = focused && focused->window() == dialog ? focused : defaultButton;
        if (!target || !target->isEnabled())
            return false;
        target->click();
        return true;
    }
    case Qt::Key_Escape:
        if (!cancelButton || !cancelButton->isEnabled())
            return false;
        cancelButton->click();
        return true;
    default:
        return false;
    }
}

} // namespace pelloway
