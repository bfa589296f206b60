// The character window on a real X server (a private Xvfb started by the test runner). In a
// screenshot the bird's pixels show and none of its white background, above a plain backdrop
// raised over it, and the window has moved between the screenshots of two steps. Then with a
// window manager (openbox, started and stopped here): dragging with the left button moves the
// window with the mouse, the flight waits while the button is down and goes on after the
// release.

#include "ScriptedRandom.h"
#include "character/Form1Window.h"
#include "support/WindowManager.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>

using namespace pelloway;
using namespace pelloway::test;

namespace {

const QRgb Backdrop = qRgb(0, 160, 0);

// The box around every pixel that is not the backdrop.
QRect birdBox(const QImage& shot)
{
    QRect box;
    for (int y = 0; y < shot.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        for (int x = 0; x < shot.width(); ++x) {
            if ((line[x] & 0xffffff) != (Backdrop & 0xffffff))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// A screenshot of the whole screen once the next flight step has reached the X server: the
// flight is held after that step, and the screen is taken again until something stands
// where the bird's shape now is (the last one taken when that never happens). The caller
// checks it and starts the flight again.
QImage screenAfterStep(Form1& form)
{
    bool stepped = false;
    const QMetaObject::Connection done = QObject::connect(form.Timer1, &QTimer::timeout, &form, [&] {
        stepped = true;
        form.Timer1->stop();
    });
    const bool ok = QTest::qWaitFor([&stepped] { return stepped; }, 3000);
    QObject::disconnect(done);
    if (!ok)
        return QImage();
    const QRect shape = form.mask().boundingRect().translated(form.pos());
    QImage shot;
    // Whether or not it comes in time, the caller checks what the screen shows.
    (void)QTest::qWaitFor(
        [&] {
            shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
                QImage::Format_RGB32);
            return birdBox(shot) == shape;
        },
        3000);
    return shot;
}

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

QPoint serverPosition(const QWidget& window)
{
    return WindowGeometry(QString::number(window.winId())).topLeft();
}

// With the button down, moves the mouse to `pointer` and waits until the window manager has
// the window at `window`. It may take the move over only after the first motions (a loaded
// machine), so the motion is made again while the window is not there. The window manager
// moves the window without telling Qt until the button is released: X is asked.
bool dragTo(const QWidget& form, QPoint pointer, QPoint window)
{
    QElapsedTimer sinceMotion;
    return QTest::qWaitFor(
        [&] {
            if (sinceMotion.isValid() && serverPosition(form) == window)
                return true;
            if (!sinceMotion.isValid() || sinceMotion.hasExpired(500)) {
                xdotool({QStringLiteral("mousemove"), QString::number(pointer.x() - 1),
                         QString::number(pointer.y())});
                xdotool({QStringLiteral("mousemove"), QString::number(pointer.x()),
                         QString::number(pointer.y())});
                sinceMotion.start();
            }
            return false;
        },
        10000);
}

// Each leg: 6 steps of 10 pixels right and 5 down.
std::unique_ptr<Form1Window> rightAndDown()
{
    return std::make_unique<Form1Window>(
        [] {}, std::make_unique<ScriptedRandom>(std::vector<float>{0.0f, 0.75f, 0.75f}, true));
}

} // namespace

class TestForm1X11 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X server (run through with-xvfb)");
    }

    // Without a window manager.
    void birdFliesInItsShape()
    {
        QWidget backdrop(nullptr, Qt::FramelessWindowHint);
        backdrop.setAutoFillBackground(true);
        QPalette palette = backdrop.palette();
        palette.setColor(QPalette::Window, QColor(Backdrop));
        backdrop.setPalette(palette);
        backdrop.setGeometry(QGuiApplication::primaryScreen()->geometry());
        backdrop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&backdrop));

        const auto window = rightAndDown();
        window->Show();
        window->Hide();
        Form1& form = window->form().get();
        form.move(400, 300);
        window->Show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Another window comes to the top; there is no window manager to keep the bird above
        // it, so the bird shows only because its steps raise it again.
        backdrop.raise();

        const QImage first = screenAfterStep(form);
        QVERIFY(!first.isNull());
        const QRect at = form.geometry();
        const QImage& picture = window->state().Pictures.Picture(form.Frame());
        const QRegion shape = form.mask();
        int birdPixels = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const QRgb seen = first.pixel(at.x() + x, at.y() + y) & 0xffffff;
                QVERIFY2(seen != 0xffffff, qPrintable(QStringLiteral("white at %1, %2").arg(x).arg(y)));
                if (shape.contains(QPoint(x, y))) {
                    QCOMPARE(seen, picture.pixel(x, y) & 0xffffff);
                    ++birdPixels;
                } else {
                    QCOMPARE(seen, Backdrop & 0xffffff);
                }
            }
        }
        QVERIFY(birdPixels > 200);
        QCOMPARE(birdBox(first), shape.boundingRect().translated(at.topLeft()));

        form.Timer1->start();
        const QImage second = screenAfterStep(form);
        QVERIFY(!second.isNull());
        const QRect moved = birdBox(second);
        QVERIFY2(!moved.isEmpty() && moved.topLeft() != birdBox(first).topLeft(), "the bird did not move");
        QCOMPARE(moved, form.mask().boundingRect().translated(form.pos()));
    }

    void leftButtonDragsAndPausesTheFlight()
    {
        const WindowManager wm;
        QVERIFY2(wm.isRunning(), "openbox did not start");
        const auto window = rightAndDown();
        window->Show();
        Form1& form = window->form().get();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Timer1->stop();
        form.move(300, 300);
        QTRY_COMPARE(serverPosition(form), QPoint(300, 300));
        QTRY_COMPARE(form.pos(), QPoint(300, 300));

        // The places after each flight step, from the release on.
        bool released = false;
        std::vector<QPoint> steps;
        int ticks = 0;
        connect(form.Timer1, &QTimer::timeout, &form, [&] {
            ++ticks;
            if (released)
                steps.push_back(form.pos());
        });

        // (16, 18) is inside the bird in every frame.
        QVERIFY(form.mask().contains(QPoint(16, 18)));
        QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("316"), QStringLiteral("318"),
                         QStringLiteral("mousedown"), QStringLiteral("1")}));
        QTRY_VERIFY(form.IsDragged());
        form.Timer1->start();
        // The window follows each move of the mouse, however slowly the machine answers.
        for (int i = 1; i <= 10; ++i) {
            QVERIFY2(dragTo(form, QPoint(316 + 20 * i, 318 + 10 * i), QPoint(300 + 20 * i, 300 + 10 * i)),
                     qPrintable(QStringLiteral("the window did not follow the mouse, move %1").arg(i)));
        }
        // The button stays down over more than two steps: the bird does not fly.
        const int heldFrom = ticks;
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= heldFrom + 3, 10000);
        QVERIFY(form.IsDragged());
        QCOMPARE(serverPosition(form), QPoint(500, 400));

        released = true;
        QVERIFY(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
        QTRY_VERIFY(!form.IsDragged());
        // Then it flies on from where it was dropped: its first step leaves (500, 400) by no
        // more than a step's length.
        const auto away = [](QPoint p) { return p != QPoint(500, 400); };
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(steps.begin(), steps.end(), away), 10000);
        const QPoint first = *std::find_if(steps.begin(), steps.end(), away);
        QVERIFY2(
            (first - QPoint(500, 400)).manhattanLength() <= 30,
            qPrintable(
                QStringLiteral("first step after the drop went to %1, %2").arg(first.x()).arg(first.y())));
    }
};

QTEST_MAIN(TestForm1X11)
#include "test_form1_x11.moc"
