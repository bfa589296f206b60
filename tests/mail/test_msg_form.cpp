// The message window as it is built and loaded: caption, size, place, the two boxes, and a
// fresh window after every unload.

#include "mail/MsgForm.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

using namespace pelloway;

class TestMsgForm : public QObject
{
    Q_OBJECT
private slots:
    void window()
    {
        MsgForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("新着メッセージ"));
        // Client 3600 x 255 twips, fixed.
        const QSize client(TwipsToPixels(3600), TwipsToPixels(255));
        QCOMPARE(form.size(), client);
        QCOMPARE(form.minimumSize(), client);
        QCOMPARE(form.maximumSize(), client);
        // Centred on the screen.
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY2(
            (form.geometry().center() - centre).manhattanLength() <= 2,
            qPrintable(
                QStringLiteral("%1,%2").arg(form.geometry().center().x()).arg(form.geometry().center().y())));
        // It never takes the keyboard from the window the user is typing into.
        QVERIFY(form.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(form.testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        // Not topmost and not shown before its load step.
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!form.isVisible());
    }

    void boxes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QString>("text");
        QTest::newRow("Text2") << "Text2" << QRect(3120, 0, 495, 270) << int(Qt::AlignRight) << "";
        QTest::newRow("Text1") << "Text1" << QRect(0, 0, 3135, 270) << int(Qt::AlignHCenter)
                               << "新着メールはありませんでした。";
    }
    void boxes()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(int, alignment);
        QFETCH(QString, text);
        MsgForm form;
        QLineEdit* box = name == QStringLiteral("Text1") ? form.Text1 : form.Text2;
        QCOMPARE(box->geometry(), QRect(TwipsToPixels(twips.x()), TwipsToPixels(twips.y()),
                                        TwipsToPixels(twips.width()), TwipsToPixels(twips.height())));
        QCOMPARE(int(box->alignment() & Qt::AlignHorizontal_Mask), alignment);
        QCOMPARE(box->text(), text);
        QVERIFY(!box->hasFrame());
        // Taller than the client area: the window cuts the bottom edge off.
        QVERIFY(box->geometry().bottom() >= form.height());
    }

    void looks()
    {
        MsgForm form;
        QCOMPARE(form.Text1->palette().color(QPalette::Text), QColor(0, 0, 255));
        QCOMPARE(form.Text2->palette().color(QPalette::Text),
                 QApplication::palette(form.Text2).color(QPalette::Text));
        // The two overlap; the message lies above the number where they do.
        const QRect overlap = form.Text1->geometry() & form.Text2->geometry();
        QVERIFY(!overlap.isEmpty());
        QCOMPARE(form.childAt(overlap.center()), form.Text1);
        QCOMPARE(form.Text2->nextInFocusChain(), form.Text1);
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
