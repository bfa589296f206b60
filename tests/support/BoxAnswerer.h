#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace pelloway::test {

// A button's text as it reads on the screen: without its mnemonic, whether written "&Yes"
// or, as Japanese translations do, "はい(&Y)".
inline QString WithoutMnemonic(QString text)
{
    static const QRegularExpression japaneseStyle(QStringLiteral("\\(&[^&)]\\)$"));
    return text.remove(japaneseStyle).remove(u'&');
}

// Answers modal message boxes as they appear: polls for the active modal box, records its
// caption, text and icon (and its buttons' texts), and presses the chosen button.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.append(box->windowTitle() + u'|' + box->text() + u'|' + QString::number(int(box->icon())));
            QStringList texts;
            for (QAbstractButton* button : box->buttons())
                texts.append(WithoutMnemonic(button->text()));
            buttons.append(texts.join(u'|'));
            if (onBox)
                onBox();
            box->button(m_answer)->click();
        });
        m_timer.start(20);
    }
    QStringList seen;
    QStringList buttons;

    // Runs while a box is open, before it is answered.
    std::function<void()> onBox;

private:
    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
};

} // namespace pelloway::test
