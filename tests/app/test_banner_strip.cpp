// The banner strip drawn by the X server. Two main windows run side by side on one display:
// one with the server's strip, one with Qt's painting. At every tick both strips are read back
// from the server and must be the same picture, over whole cycles, after a new caption, after
// the window was covered and after an X error handed the strip back to Qt. Then "常に前面表示"
// with a window manager: it is asked to keep the main window above the others and to release
// it, on the one native window the program has shown from the start (so the strip never
// changes parent).

#include "app/MainForm.h"
#include "character/CharacterWindow.h"
#include "platform/BannerStrip.h"
#include "platform/Mci.h"
#include "platform/QuietPlatform.h"
#include "platform/Ras.h"
#include "platform/Twips.h"
#include "platform/linux/x11/X11BannerStrip.h"
#include "settings/SettingsFiles.h"
#include "support/BoxAnswerer.h"
#include "support/TestSupport.h"
#include "support/WindowManager.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <xcb/xcb.h>

using namespace pelloway;

namespace {

constexpr int Cycle = 148; // ticks from the design position back to it

xcb_connection_t* connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

struct Window
{
    test::AppFolder app;
    UnavailablePop3Library pop3;
    NoMci mci;
    NoRas ras;
    HiddenCharacterWindow character;
    SettingsFiles files{app.path(), app.file(QStringLiteral("vbmail.ini"))};
    MainForm form{files, MainFormServices{pop3, mci, ras, character}};

    Window(bool serverDrawn, int left)
    {
        // Settings saved, so that no dialog opens over the window.
        files.StoreAccount(QStringLiteral("id"), QStringLiteral("pw"), true);
        test::WriteBytes(files.serverFilePath(), "POP3=pop.example\r\n");
        form.endProgramHook = [] {};
        if (serverDrawn)
            form.SetBannerStrip(MakeBannerStrip(form.Picture5, form.Label1));
        form.Form_Load();
        // The test drives the ticks itself.
        form.Timer1->stop();
        form.Timer2->stop();
        form.Timer4->stop();
        form.move(left, 40);
        form.show();
    }

    // The strip's part inside the window, as the X server has it on screen.
    QRect strip() const
    {
        return QRect(form.Picture5->mapTo(&form, QPoint()), form.Picture5->size()).intersected(form.rect());
    }
    QImage onScreen()
    {
        const QRect r = strip();
        return form.screen()
            ->grabWindow(form.winId(), r.x(), r.y(), r.width(), r.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    X11BannerStrip* serverStrip() { return dynamic_cast<X11BannerStrip*>(&form.bannerStrip()); }
};

// Counts paint events of the strip and its caption.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

struct SideBySide
{
    Window server{true, 20};
    Window painted{false, 300};

    SideBySide()
    {
        QVERIFY(QTest::qWaitForWindowExposed(&server.form));
        QVERIFY(QTest::qWaitForWindowExposed(&painted.form));
    }

    // `ticks` ticks on both, each frame the same on both (the caption widgets in step too);
    // returns the server's frames, or none at the first difference.
    QList<QImage> run(int ticks)
    {
        QList<QImage> frames;
        for (int i = 0; i < ticks; ++i) {
            server.form.Timer4_Timer();
            painted.form.Timer4_Timer();
            painted.form.Picture5->repaint();
            if (!server.form.bannerStrip().DrawnByServer())
                server.form.Picture5->repaint();
            const QImage fromServer = server.onScreen();
            if (server.form.Label1->pos() != painted.form.Label1->pos() || fromServer.isNull() ||
                fromServer != painted.onScreen()) {
                qWarning("tick %d of %d: the strips differ (caption at %d)", i, ticks,
                         server.form.Label1->x());
                return {};
            }
            frames.append(fromServer);
        }
        return frames;
    }
};

// A property of a window as the X server holds it; empty when the window does not exist.
QString windowProperty(WId window, const QString& name)
{
    return test::RunProgram(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window),
                                                      QStringLiteral("-notype"), name});
}

QSet<QByteArray> distinct(const QList<QImage>& frames)
{
    QSet<QByteArray> set;
    for (const QImage& frame : frames)
        set.insert(QByteArray(reinterpret_cast<const char*>(frame.constBits()), frame.sizeInBytes()));
    return set;
}

} // namespace

class TestBannerStrip : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

    // Before the strip cases: after their windows and X error the window managed here was
    // not seen exposed.
    void alwaysOnTopSetsAndClearsAboveOnTheSameWindow()
    {
        const test::WindowManager wm;
        QVERIFY2(wm.isRunning(), "openbox did not start");
        Window w(false, 20);
        MainForm& form = w.form;
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const WId native = form.winId();
        // The window manager has taken the window on.
        QTRY_VERIFY_WITH_TIMEOUT(windowProperty(native, QStringLiteral("WM_STATE")).contains(u"Normal"),
                                 10000);
        QVERIFY(!windowProperty(native, QStringLiteral("_NET_WM_STATE")).contains(u"_NET_WM_STATE_ABOVE"));

        test::BoxAnswerer answer(QMessageBox::Ok);
        form.mzenmen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(
            windowProperty(native, QStringLiteral("_NET_WM_STATE")).contains(u"_NET_WM_STATE_ABOVE"), 10000);
        QCOMPARE(form.winId(), native);

        form.mzenmen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(
            !windowProperty(native, QStringLiteral("_NET_WM_STATE")).contains(u"_NET_WM_STATE_ABOVE"), 10000);
        QCOMPARE(form.winId(), native);
        // Still the window the window manager holds, and still shown.
        QVERIFY(windowProperty(native, QStringLiteral("WM_STATE")).contains(u"Normal"));
    }

    // Over two whole cycles, tick by tick, the server shows what Qt paints; the strip repeats
    // every 148 ticks, and the program paints nothing of it after the first cycle. A new
    // caption text and colour give new frames, again the same as Qt's; a grab of the main
    // window shows the strip with the caption where it is now.
    void framesMatchQtPainting()
    {
        SideBySide s;
        const QList<QImage> first = s.run(Cycle);
        QCOMPARE(first.size(), Cycle);
        QVERIFY(s.server.form.bannerStrip().DrawnByServer());
        QVERIFY(!s.painted.form.bannerStrip().DrawnByServer());
        // The caption is on the strip for most of the cycle, at a new pixel at nearly every tick.
        QVERIFY2(distinct(first).size() > 100, qPrintable(QString::number(distinct(first).size())));
        const int composed = s.server.serverStrip()->framesComposed();
        QCOMPARE(composed, distinct(first).size());

        PaintCounter counter;
        s.server.form.Picture5->installEventFilter(&counter);
        s.server.form.Label1->installEventFilter(&counter);
        QCOMPARE(s.run(Cycle), first);
        QCOMPARE(counter.paints, 0);
        QCOMPARE(s.server.serverStrip()->framesComposed(), composed);

        for (Window* w : {&s.server, &s.painted}) {
            w->form.Label1->setText(QStringLiteral("テスト"));
            QPalette red = w->form.Label1->palette();
            red.setColor(QPalette::WindowText, Qt::red);
            w->form.Label1->setPalette(red);
        }
        const QList<QImage> after = s.run(Cycle);
        QCOMPARE(after.size(), Cycle);
        QVERIFY(distinct(after).size() > 50);
        QVERIFY(!distinct(after).contains(distinct(first)));

        QCOMPARE(s.run(30).size(), 30);
        const QImage grabbed =
            s.server.form.grab(s.server.strip()).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(grabbed, s.server.onScreen());
    }

    // Covered by another window and uncovered, the strip keeps scrolling.
    void keepsScrollingAfterBeingCovered()
    {
        SideBySide s;
        QCOMPARE(s.run(10).size(), 10);
        {
            QWidget cover(nullptr, Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
            cover.setGeometry(QGuiApplication::primaryScreen()->geometry());
            cover.show();
            QVERIFY(QTest::qWaitForWindowExposed(&cover));
        }
        const QList<QImage> frames = s.run(30);
        QCOMPARE(frames.size(), 30);
        QVERIFY(distinct(frames).size() >= 20);
        QVERIFY(s.server.form.bannerStrip().DrawnByServer());
    }

    // An X error on the strip's resources hands it back to Qt's painting for good.
    void xErrorFallsBackToQtPainting()
    {
        SideBySide s;
        QCOMPARE(s.run(10).size(), 10);
        xcb_destroy_window(connection(), s.server.serverStrip()->windowId());
        s.server.form.Timer4_Timer(); // sends to the window that is gone
        QTRY_VERIFY(!s.server.form.bannerStrip().DrawnByServer());
        s.painted.form.Timer4_Timer();
        s.server.form.Picture5->repaint();
        QCOMPARE(s.run(Cycle).size(), Cycle);
        QVERIFY(!s.server.form.bannerStrip().DrawnByServer());
    }

    // On a scaled screen the frames would not be Qt's: the strip stays Qt's painting. Runs as
    // test_banner_strip_scaled, with QT_SCALE_FACTOR=2.
    void scaledScreenKeepsQtPainting()
    {
        Window w(true, 20);
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        if (w.form.devicePixelRatio() == 1)
            QSKIP("needs a scaled screen (test_banner_strip_scaled)");
        for (int i = 1; i <= 5; ++i) {
            w.form.Timer4_Timer();
            QCOMPARE(w.form.Label1->x(), TwipsToPixels(1440 - 20 * i));
        }
        QVERIFY(!w.form.bannerStrip().DrawnByServer());
        QVERIFY(w.form.Label1->isVisible());
    }
};

QTEST_MAIN(TestBannerStrip)
#include "test_banner_strip.moc"
