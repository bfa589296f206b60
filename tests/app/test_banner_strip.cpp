// The banner strip drawn by the X server. Two main windows run side by side on one display:
// one with the server's strip, one with Qt's painting. At every tick both strips are read back
// from the server and must be the same picture, over whole cycles, after the window was
// covered, after "常に前面表示" and after an X error handed the strip back to Qt.

#include "app/MainForm.h"
#include "platform/BannerStrip.h"
#include "platform/Mci.h"
#include "platform/Ras.h"
#include "platform/Twips.h"
#include "platform/linux/x11/X11BannerStrip.h"
#include "settings/SettingsFiles.h"
#include "support/StandIns.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
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
    int strip_paints = 0;

    Window(bool serverDrawn, int left)
    {
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

    // The strip as the X server has it on screen (its part inside the window).
    QImage onScreen()
    {
        xcb_connection_t* c = connection();
        const QRect shown =
            QRect(form.Picture5->mapTo(&form, QPoint()), form.Picture5->size()).intersected(form.rect());
        const QPoint at = shown.topLeft();
        const QSize size = shown.size();
        const auto cookie = xcb_get_image(
            c, XCB_IMAGE_FORMAT_Z_PIXMAP, xcb_window_t(form.windowHandle()->winId()), std::int16_t(at.x()),
            std::int16_t(at.y()), std::uint16_t(size.width()), std::uint16_t(size.height()), ~0u);
        xcb_generic_error_t* error = nullptr;
        xcb_get_image_reply_t* reply = xcb_get_image_reply(c, cookie, &error);
        if (!reply) {
            qWarning("GetImage failed: %d", error ? error->error_code : -1);
            std::free(error);
            return {};
        }
        QImage image(size, QImage::Format_RGB32);
        const auto* data = xcb_get_image_data(reply);
        if (xcb_get_image_data_length(reply) == size.width() * size.height() * 4) {
            for (int y = 0; y < size.height(); ++y) {
                const auto* line = reinterpret_cast<const quint32*>(data) + y * size.width();
                auto* out = reinterpret_cast<quint32*>(image.scanLine(y));
                for (int x = 0; x < size.width(); ++x)
                    out[x] = line[x] | 0xFF000000u;
            }
        } else {
            image = QImage();
        }
        std::free(reply);
        return image;
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
        if (event->type() == QEvent::Paint)
            ++paints;
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

    // One banner tick on both; the frame each shows afterwards, read back from the server.
    std::pair<QImage, QImage> tick()
    {
        server.form.Timer4_Timer();
        painted.form.Timer4_Timer();
        painted.form.Picture5->repaint();
        if (!server.form.bannerStrip().DrawnByServer())
            server.form.Picture5->repaint();
        return {server.onScreen(), painted.onScreen()};
    }

    // `ticks` ticks, each frame the same on both; returns the server's frames.
    QList<QImage> run(int ticks)
    {
        QList<QImage> frames;
        for (int i = 0; i < ticks; ++i) {
            const auto [fromServer, fromQt] = tick();
            // The caption widget moves as ever, wherever the strip is drawn.
            if (server.form.Label1->pos() != painted.form.Label1->pos()) {
                qWarning("tick %d: the caption widgets are apart", i);
                return {};
            }
            if (fromServer.isNull() || fromServer != fromQt) {
                fromServer.save(QStringLiteral("/tmp/pelloway-strip-server.png"));
                fromQt.save(QStringLiteral("/tmp/pelloway-strip-qt.png"));
                qWarning(
                    "tick %d of %d: the strips differ (label at %d; %d %d; window %dx%d, strip at %d,%d)", i,
                    ticks, server.form.Label1->x(), fromServer.isNull(), fromQt.isNull(), server.form.width(),
                    server.form.height(), server.form.Picture5->mapTo(&server.form, QPoint()).x(),
                    server.form.Picture5->mapTo(&server.form, QPoint()).y());
                return {};
            }
            frames.append(fromServer);
        }
        return frames;
    }
};

QSet<QByteArray> distinct(const QList<QImage>& frames)
{
    QSet<QByteArray> set;
    for (const QImage& frame : frames)
        set.insert(QByteArray(reinterpret_cast<const char*>(frame.constBits()), frame.sizeInBytes()));
    return set;
}

// Maps a window over the whole screen and takes it away again, as another program's window would.
void coverAndUncover()
{
    xcb_connection_t* c = connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t cover = xcb_generate_id(c);
    const std::uint32_t values[] = {screen->black_pixel, 1};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, cover, screen->root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c, cover);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_destroy_window(c, cover);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

} // namespace

class TestBannerStrip : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

    // Over two whole cycles, tick by tick, the server shows what Qt paints; the strip repeats
    // every 148 ticks of 20 ms, and the program paints nothing of it after the first cycle.
    void framesMatchQtPaintingTickByTick()
    {
        SideBySide s;
        QCOMPARE(s.server.form.Timer4->interval(), 20);
        QCOMPARE(s.painted.form.Timer4->interval(), 20);
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
        const QList<QImage> second = s.run(Cycle);
        QCOMPARE(second, first);
        QCOMPARE(counter.paints, 0);
        QCOMPARE(s.server.serverStrip()->framesComposed(), composed);
    }

    // A new caption text or colour gives new frames, again the same as Qt's.
    void captionChangesRecomposeTheFrames()
    {
        SideBySide s;
        const QList<QImage> before = s.run(40);
        QCOMPARE(before.size(), 40);
        for (Window* w : {&s.server, &s.painted}) {
            w->form.Label1->setText(QStringLiteral("テスト"));
            QPalette red = w->form.Label1->palette();
            red.setColor(QPalette::WindowText, Qt::red);
            w->form.Label1->setPalette(red);
        }
        const QList<QImage> after = s.run(Cycle);
        QCOMPARE(after.size(), Cycle);
        QVERIFY(distinct(after).size() > 50);
        QVERIFY(!distinct(after).contains(distinct(before)));
    }

    void keepsScrollingAfterBeingCovered()
    {
        SideBySide s;
        QCOMPARE(s.run(10).size(), 10);
        coverAndUncover();
        const QList<QImage> frames = s.run(30);
        QCOMPARE(frames.size(), 30);
        QVERIFY(distinct(frames).size() >= 20);
        QVERIFY(s.server.form.bannerStrip().DrawnByServer());
    }

    // "常に前面表示" on and off: however the window system's window is handled, the strip
    // follows the main window and keeps scrolling there.
    void keepsScrollingAfterTopmostToggles()
    {
        SideBySide s;
        QCOMPARE(s.run(10).size(), 10);
        for (int toggle = 0; toggle < 2; ++toggle) {
            QTimer::singleShot(0, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box->accept();
            });
            s.server.form.Picture8_Click();
            QVERIFY(QTest::qWaitForWindowExposed(&s.server.form));
            const QList<QImage> frames = s.run(20);
            QCOMPARE(frames.size(), 20);
            QVERIFY(distinct(frames).size() >= 15);
            QVERIFY(s.server.form.bannerStrip().DrawnByServer());
            // The strip's window is a child of the main window's present X window.
            xcb_connection_t* c = connection();
            xcb_query_tree_reply_t* tree =
                xcb_query_tree_reply(c, xcb_query_tree(c, s.server.serverStrip()->windowId()), nullptr);
            QVERIFY(tree);
            const xcb_window_t parent = tree->parent;
            std::free(tree);
            QCOMPARE(parent, xcb_window_t(s.server.form.windowHandle()->winId()));
        }
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

    // A grab of the main window shows the strip with the caption where it is now.
    void grabShowsTheCurrentStrip()
    {
        SideBySide s;
        QCOMPARE(s.run(30).size(), 30);
        const QRect strip =
            QRect(s.server.form.Picture5->mapTo(&s.server.form, QPoint()), s.server.form.Picture5->size())
                .intersected(s.server.form.rect());
        const QImage grabbed = s.server.form.grab(strip).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(grabbed, s.server.onScreen());
    }
};

QTEST_MAIN(TestBannerStrip)
#include "test_banner_strip.moc"
