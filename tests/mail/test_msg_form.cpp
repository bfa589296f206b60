// The message window as it is built and loaded: how it looks, its place, and a fresh window
// after every unload.

#include "mail/MsgForm.h"
#include "platform/Fonts.h"
#include "support/ReferenceRendering.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

using namespace pelloway;

class TestMsgForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { InstallFontSubstitutions(); }

    // A fixed window centred on the screen that never takes the keyboard from the window the
    // user is typing into (that it refuses focus is seen on a real display by test_msg_form_x11);
    // as it looks when a check found twelve messages.
    void window()
    {
        MsgForm form;
        QCOMPARE(form.minimumSize(), form.maximumSize());
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY((form.geometry().center() - centre).manhattanLength() <= 2);
        QVERIFY(form.testAttribute(Qt::WA_ShowWithoutActivating)); // a window manager may act on it
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowStaysOnTopHint)); // not before its load step
        QVERIFY(!form.isVisible());
        // The message lies above the number where the two overlap.
        QCOMPARE(form.childAt((form.Text1->geometry() & form.Text2->geometry()).center()), form.Text1);

        form.Text1->setText(QStringLiteral("新着メールが有ります"));
        form.Text2->setText(QStringLiteral("12"));
        const QString difference =
            test::CompareWithReference(&form, QStringLiteral("mail"), QStringLiteral("MsgForm"));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // Loading makes the window topmost and visible; unloading discards it; the next use
    // starts from the initial texts again.
    void lifecycle()
    {
        FormHolder<MsgForm> holder([] { return new MsgForm(); });
        QVERIFY(!holder.isLoaded());
        MsgForm& form = holder.get();
        QVERIFY(form.isVisible());
        QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        form.Text1->setText(QStringLiteral("新着メールが有ります"));
        form.Text2->setText(QStringLiteral("3"));

        QPointer<MsgForm> first = &form;
        holder.unload();
        QVERIFY(!holder.isLoaded());
        QVERIFY(!first->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);

        MsgForm& second = holder.get();
        QCOMPARE(second.Text1->text(), QStringLiteral("新着メールはありませんでした。"));
        QCOMPARE(second.Text2->text(), QString());
        QVERIFY(second.isVisible());
    }
};

QTEST_MAIN(TestMsgForm)
#include "test_msg_form.moc"
