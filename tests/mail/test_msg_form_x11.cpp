// The message window on a real X display: it asks to stay above other windows and it leaves
// the keyboard with the window the user is typing into.

#include "mail/MsgForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QVBoxLayout>

using namespace pelloway;

class TestMsgFormX11 : public QObject
{
    Q_OBJECT
private slots:
    void keepsTheKeyboardAndStaysAbove()
    {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("needs an X display");

        QWidget editor;
        auto* field = new QLineEdit(&editor);
        (new QVBoxLayout(&editor))->addWidget(field);
        editor.show();
        editor.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("ab"));

        FormHolder<MsgForm> holder([] { return new MsgForm(); });
        MsgForm& form = holder.get();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // A round trip to the X server after the mapping: a focus change it brought is in.
        QGuiApplication::sync();

        QCOMPARE(QApplication::activeWindow(), &editor);
        QCOMPARE(QApplication::focusWidget(), field);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("c"));
        QCOMPARE(field->text(), QStringLiteral("abc"));

        // The stacking request the window manager reads, and no input focus taken when mapped.
        const auto property = [&](const QString& name) {
            QProcess xprop;
            xprop.start(QStringLiteral("xprop"),
                        {QStringLiteral("-id"), QString::number(form.winId()), name});
            return xprop.waitForFinished(10000) && xprop.exitCode() == 0
                       ? QString::fromLatin1(xprop.readAllStandardOutput())
                       : QString();
        };
        const QString state = property(QStringLiteral("_NET_WM_STATE"));
        QVERIFY2(state.contains(QStringLiteral("_NET_WM_STATE_ABOVE")), qPrintable(state));
        const QString hints = property(QStringLiteral("WM_HINTS"));
        QVERIFY2(hints.contains(QStringLiteral("False")), qPrintable(hints));
    }
};

QTEST_MAIN(TestMsgFormX11)
#include "test_msg_form_x11.moc"
