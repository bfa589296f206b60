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
        QTest::qWait(200);

        QCOMPARE(QApplication::activeWindow(), &editor);
        QCOMPARE(QApplication::focusWidget(), field);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("c"));
        QCOMPARE(field->text(), QStringLiteral("abc"));
        QCOMPARE(form.Text1->text(), QStringLiteral("新着メールはありませんでした。"));

        // The stacking request the window manager reads.
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), QString::number(form.winId()), QStringLiteral("_NET_WM_STATE")});
        if (!xprop.waitForFinished(10000) || xprop.exitCode() != 0)
            QSKIP("xprop is not available");
        const QString state = QString::fromLatin1(xprop.readAllStandardOutput());
        QVERIFY2(state.contains(QStringLiteral("_NET_WM_STATE_ABOVE")), qPrintable(state));
        // ...and does not take input focus when mapped.
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), QString::number(form.winId()), QStringLiteral("WM_HINTS")});
        QVERIFY(xprop.waitForFinished(10000));
        const QString hints = QString::fromLatin1(xprop.readAllStandardOutput());
        QVERIFY2(hints.contains(QStringLiteral("False")), qPrintable(hints));

        holder.unload();
        QTest::qWait(50);
        QVERIFY(!holder.isLoaded());
    }
};

QTEST_MAIN(TestMsgFormX11)
#include "test_msg_form_x11.moc"
