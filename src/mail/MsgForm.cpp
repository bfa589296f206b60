#include "mail/MsgForm.h"

#include "platform/Fonts.h"
#include "platform/Twips.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLineEdit>
#include <QScreen>

namespace pelloway {

namespace {

QLineEdit* flatTextBox(QWidget* parent, const QString& text, Qt::Alignment alignment)
{
    auto* box = new QLineEdit(text, parent);
    box->setFrame(false);
    box->setAlignment(alignment);
    box->setFont(DesignFont(9));
    return box;
}

} // namespace

MsgForm::MsgForm() : Form(nullptr, FixedDialogFlags() | Qt::WindowDoesNotAcceptFocus)
{
    setWindowTitle(QStringLiteral("新着メッセージ"));
    setWindowIcon(QIcon(QStringLiteral(":/pelloway/pelloway.png")));
    setAttribute(Qt::WA_ShowWithoutActivating);
    SetClientSizeTwips(this, ClientWidthTwips, ClientHeightTwips);

    // Text2 first, so that Text1 lies above it where the two overlap. Both reach 15 twips
    // below the client area; the window cuts their bottom edge off.
    Text2 = flatTextBox(this, QString(), Qt::AlignRight | Qt::AlignVCenter);
    PlaceTwips(Text2, 3120, 0, 495, 270);
    Text1 = flatTextBox(this, QStringLiteral("新着メールはありませんでした。"),
                        Qt::AlignHCenter | Qt::AlignVCenter);
    PlaceTwips(Text1, 0, 0, 3135, 270);
    QPalette blue = Text1->palette();
    blue.setColor(QPalette::Text, QColor(0, 0, 255));
    Text1->setPalette(blue);
    setTabOrder(Text2, Text1);

    // Centred on the screen when created.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect client(QPoint(), size());
        client.moveCenter(screen->geometry().center());
        move(client.topLeft());
    }
}

void MsgForm::Form_Load()
{
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    show();
}

} // namespace pelloway
