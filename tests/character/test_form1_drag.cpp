// Dragging the bird with the left button on a real X server with a window manager (openbox,
// started and stopped here, on the private Xvfb of the test runner): the window system moves
// the window with the mouse, the flight waits while the button is down and goes on after
// the release.

#include "ScriptedRandom.h"
#include "character/Form1Window.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

using namespace pelloway;
using pelloway::test::ScriptedRandom;

namespace {

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
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
        m_wm.setProgram(QStringLiteral("openbox"));
        m_wm.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_wm.start();
        QVERIFY(m_wm.waitForStarted());
        QTest::qWait(1000); // openbox takes over the screen
        QCOMPARE(m_wm.state(), QProcess::Running);
    }

    void cleanupTestCase()
    {
        if (m_wm.state() != QProcess::NotRunning) {
            m_wm.terminate();
            if (!m_wm.waitForFinished(3000)) {
                m_wm.kill();
                m_wm.waitForFinished();
            }
        }
    }

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
        QTRY_COMPARE(form.pos(), QPoint(300, 300));
        QTest::qWait(200);

        // (16, 18) is inside the bird in every frame.
        QVERIFY(form.mask().contains(QPoint(16, 18)));
        QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("316"), QStringLiteral("318"),
                         QStringLiteral("mousedown"), QStringLiteral("1")}));
        QTRY_VERIFY(form.IsDragged());
        form.Timer1->start();
        for (int i = 1; i <= 10; ++i) {
            QVERIFY(xdotool(
                {QStringLiteral("mousemove"), QString::number(316 + 20 * i), QString::number(318 + 10 * i)}));
            QTest::qWait(30);
        }
        // The button stays down over more than two steps: the bird does not fly.
        QTest::qWait(300);
        const QPoint held = form.pos();
        QTest::qWait(1200);
        QVERIFY(form.IsDragged());
        QCOMPARE(form.pos(), held);

        QVERIFY(xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
        QTRY_VERIFY(!form.IsDragged());
        QTRY_COMPARE(form.pos(), QPoint(500, 400));
        // Then it flies on.
        QTRY_VERIFY_WITH_TIMEOUT(form.pos() != QPoint(500, 400), 3000);
    }

private:
    QProcess m_wm;
};

QTEST_MAIN(TestForm1Drag)
#include "test_form1_drag.moc"
