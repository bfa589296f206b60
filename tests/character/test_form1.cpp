// The character window offscreen: its load step, a flight step that reads no pixel and
// applies the frame's shape, the mouse buttons and the life across hiding and unloading.

#include "ScriptedRandom.h"
#include "character/Form1Window.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace pelloway;
using pelloway::test::ScriptedRandom;

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
               QPoint global)
{
    QMouseEvent event(type, QPointF(global - widget->pos()), QPointF(global), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

struct Fixture
{
    // The flight script repeats: a leg of 6, 10 pixels right and 5 up per step.
    explicit Fixture(std::vector<float> script = {0.0f, 0.75f, 0.25f})
    {
        auto scripted = std::make_unique<ScriptedRandom>(std::move(script), true);
        random = scripted.get();
        window = std::make_unique<Form1Window>([this] { ++ends; }, std::move(scripted));
    }
    Form1& form() { return window->form().get(); }

    ScriptedRandom* random = nullptr;
    int ends = 0;
    std::unique_ptr<Form1Window> window;
};

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void startUpLoadsAndHides()
    {
        Fixture f;
        QVERIFY(!f.window->form().isLoaded());
        f.window->Show();
        f.window->Hide();
        QVERIFY(f.window->form().isLoaded());
        Form1& form = *f.window->form().loadedForm();
        QVERIFY(!form.isVisible());
        QCOMPARE(form.size(), QSize(32, 32));
        QVERIFY(form.Timer1->isActive());
        QCOMPARE(form.Timer1->interval(), 500);
        QCOMPARE(f.random->seeds, 1);
        QCOMPARE(f.window->state().Flight1.StepX, std::int16_t(-5));
        QCOMPARE(f.window->state().Flight1.StepY, std::int16_t(-2));

        // Frame 0 in its shape: the bird's pixels, not the white corner.
        QCOMPARE(form.Frame(), 0);
        QCOMPARE(form.mask(), RegionFromSlot(f.window->state().Regions.Slot(0)));
        QVERIFY(!form.mask().isEmpty());
        QVERIFY(!form.mask().contains(QPoint(0, 0)));

        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags & Qt::FramelessWindowHint);
        QVERIFY(flags & Qt::WindowStaysOnTopHint);
        QVERIFY((flags & Qt::WindowType_Mask) == Qt::Tool);
        QVERIFY(flags & Qt::WindowDoesNotAcceptFocus);
        QVERIFY(form.testAttribute(Qt::WA_ShowWithoutActivating));
    }

    void stepMovesAndShapesWithoutReadingPixels()
    {
        Fixture f;
        f.window->Show();
        Form1& form = f.form();
        form.Timer1->stop();
        form.move(100, 200);
        const std::uint64_t reads = f.window->state().Pictures.PixelReads();
        QVERIFY(reads >= 8 * 32 * 32);

        QList<int> frames;
        for (int i = 0; i < 6; ++i) {
            form.Timer1_Timer();
            frames << form.Frame();
            QCOMPARE(form.mask(), RegionFromSlot(f.window->state().Regions.Slot(form.Frame())));
        }
        // 10 pixels right and 5 up at every step, whatever the screen's twips per pixel.
        QCOMPARE(form.pos(), QPoint(160, 170));
        QCOMPARE(frames, (QList<int>{7, 6, 7, 6, 7, 6}));
        QCOMPARE(f.window->state().Pictures.PixelReads(), reads);
    }

    void hiddenWindowKeepsFlying()
    {
        Fixture f;
        f.window->Show();
        f.window->Hide();
        Form1& form = f.form();
        form.move(300, 300);
        QTRY_VERIFY(form.pos() != QPoint(300, 300));
        QVERIFY(!form.isVisible());
    }

    void mouseButtons_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("ends");
        QTest::addColumn<bool>("dragged");
        QTest::newRow("right ends the program") << Qt::RightButton << 1 << false;
        QTest::newRow("middle does nothing") << Qt::MiddleButton << 0 << false;
        QTest::newRow("back button does nothing") << Qt::BackButton << 0 << false;
        QTest::newRow("left drags") << Qt::LeftButton << 0 << true;
    }

    void mouseButtons()
    {
        QFETCH(Qt::MouseButton, button);
        Fixture f;
        f.window->Show();
        Form1& form = f.form();
        form.Timer1->stop();
        form.move(100, 100);
        sendMouse(&form, QEvent::MouseButtonPress, button, button, QPoint(110, 110));
        QTEST(f.ends, "ends");
        QTEST(form.IsDragged(), "dragged");
        QVERIFY(f.window->form().isLoaded());
    }

    void leftDragFollowsTheMouseAndPausesTheFlight()
    {
        Fixture f;
        f.window->Show();
        Form1& form = f.form();
        form.Timer1->stop();
        form.move(100, 100);
        sendMouse(&form, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(110, 105));
        sendMouse(&form, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(250, 175));
        QCOMPARE(form.pos(), QPoint(240, 170));
        form.Timer1_Timer(); // no flight while dragged
        QCOMPARE(form.pos(), QPoint(240, 170));
        QCOMPARE(f.random->drawn, 0);
        sendMouse(&form, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(260, 185));
        QCOMPARE(form.pos(), QPoint(250, 180));
        sendMouse(&form, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(260, 185));
        QVERIFY(!form.IsDragged());
        // After the release the mouse no longer moves it, and the flight goes on.
        sendMouse(&form, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPoint(400, 400));
        QCOMPARE(form.pos(), QPoint(250, 180));
        form.Timer1_Timer();
        QCOMPARE(form.pos(), QPoint(260, 175));
        QCOMPARE(f.ends, 0);
    }

    void unloadKeepsTheLegAndShowLoadsAgain()
    {
        Fixture f;
        f.window->Show();
        QPointer<Form1> first = f.window->form().loadedForm();
        QPointer<QTimer> timer = first->Timer1;
        Flight& flight = f.window->state().Flight1;
        flight.StepsLeft = 4;
        flight.StepX = 150;
        flight.StepY = 75;

        f.window->Unload();
        QVERIFY(!f.window->form().isLoaded());
        QVERIFY(!first->isVisible());
        QVERIFY(!timer->isActive());
        QTRY_VERIFY(first.isNull());
        f.window->Hide(); // hiding an unloaded window does not load it
        QVERIFY(!f.window->form().isLoaded());
        f.window->Unload(); // nor does a second unload do anything

        f.window->Show();
        Form1& again = f.form();
        QVERIFY(again.isVisible());
        QCOMPARE(f.random->seeds, 2);
        QCOMPARE(flight.StepsLeft, std::int16_t(4));
        QCOMPARE(flight.StepX, std::int16_t(-5));
        QCOMPARE(flight.StepY, std::int16_t(-2));
        // The leg is finished with the small steps, facing left and up.
        again.Timer1->stop();
        again.Timer1_Timer();
        QCOMPARE(again.Frame(), 5);
        again.Timer1_Timer();
        QCOMPARE(again.Frame(), 4);
        QCOMPARE(f.random->drawn, 0);
    }

    void userCloseDiscardsTheWindowOnly()
    {
        Fixture f;
        f.window->Show();
        Form1& form = f.form();
        form.close();
        QVERIFY(!f.window->form().isLoaded());
        QCOMPARE(f.ends, 0);
        f.window->Show();
        QVERIFY(f.window->form().isLoaded());
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
