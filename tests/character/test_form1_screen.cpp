// The character window on a real X server (a private Xvfb started by the test runner):
// in a screenshot the bird's pixels show and none of its white background, above a plain
// backdrop raised over it, and the window has moved between the screenshots of two steps.

#include "ScriptedRandom.h"
#include "character/Form1Window.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace pelloway;
using pelloway::test::ScriptedRandom;

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

} // namespace

class TestForm1Screen : public QObject
{
    Q_OBJECT

private slots:
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

        // Each leg: 6 steps of 10 pixels right and 5 down.
        Form1Window window([] {},
                           std::make_unique<ScriptedRandom>(std::vector<float>{0.0f, 0.75f, 0.75f}, true));
        window.Show();
        window.Hide();
        Form1& form = window.form().get();
        form.move(400, 300);
        window.Show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Another window comes to the top; there is no window manager to keep the bird above
        // it, so the bird shows only because its steps raise it again.
        backdrop.raise();

        const QImage first = screenAfterStep(form);
        QVERIFY(!first.isNull());
        const QRect at = form.geometry();
        const QImage& picture = window.state().Pictures.Picture(form.Frame());
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
        QVERIFY(!moved.isEmpty());
        QVERIFY2(moved.topLeft() != birdBox(first).topLeft(), "the bird did not move");
        QCOMPARE(moved, form.mask().boundingRect().translated(form.pos()));
    }
};

QTEST_MAIN(TestForm1Screen)
#include "test_form1_screen.moc"
