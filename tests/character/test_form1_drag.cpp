// Dragging the bird with the left button on a real X server with a window manager (openbox,
// started and stopped here, on the private Xvfb of the test runner): the window system moves
// the window with the mouse, the flight waits while the button is down and goes on after
// the release.

#include "ScriptedRandom.h"
#include "character/Form1Window.h"
#include "support/WindowManager.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

using namespace pelloway;
using pelloway::test::RunProgram;
using pelloway::test::ScriptedRandom;
using pelloway::test::WindowManager;

namespace {

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

// Where the X server has the window, as the window manager placed it.
QPoint serverPosition(const QWidget& window)
{
    const QString shell =
        RunProgram(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                                               QString::number(window.winId())});
    QPoint at(-1, -1);
    for (const QString& line : shell.split(u'\n')) {
        if (line.startsWith(QLatin1String("X=")))
            at.setX(line.mid(2).toInt());
        else if (line.startsWith(QLatin1String("Y=")))
            at.setY(line.mid(2).toInt());
    }
    return at;
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

} // namespace

class TestForm1Drag : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("openbox and xdotool are needed (scripts/packages.txt)");
        m_wm = std::make_unique<WindowManager>();
        QVERIFY2(m_wm->isRunning(), "openbox did not start");
    }

    void cleanupTestCase() { m_wm.reset(); }

    void leftButtonDragsAndPausesTheFlight()
    {
        // Each leg: 6 steps of 10 pixels right and 5 down.
        Form1Window window([] {},
                           std::make_unique<ScriptedRandom>(std::vector<float>{0.0f, 0.75f, 0.75f}, true));
        window.Show();
        Form1& form = window.form().get();
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
            const QPoint pointer(316 + 20 * i, 318 + 10 * i);
            QVERIFY2(dragTo(form, pointer, QPoint(300 + 20 * i, 300 + 10 * i)),
                     qPrintable(QStringLiteral("the window did not follow the mouse to %1, %2")
                                    .arg(pointer.x())
                                    .arg(pointer.y())));
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
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(steps.begin(), steps.end(), [](QPoint p) { return p != QPoint(500, 400); }), 10000);
        const QPoint first =
            *std::find_if(steps.begin(), steps.end(), [](QPoint p) { return p != QPoint(500, 400); });
        QVERIFY2(
            (first - QPoint(500, 400)).manhattanLength() <= 30,
            qPrintable(
                QStringLiteral("first step after the drop went to %1, %2").arg(first.x()).arg(first.y())));
    }

private:
    std::unique_ptr<WindowManager> m_wm;
};

QTEST_MAIN(TestForm1Drag)
#include "test_form1_drag.moc"
