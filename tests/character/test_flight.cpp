// The flight step: legs from the random source, single-precision arithmetic with ties to
// even, the clamps at the screen's edges, and the frame chosen for each step.

#include "ScriptedRandom.h"
#include "character/Flight.h"

#include <QTest>

using namespace pelloway;
using pelloway::test::ScriptedRandom;

class TestFlight : public QObject
{
    Q_OBJECT

private slots:
    void step_data()
    {
        // Before the step: the random script, the flight state and the place.
        QTest::addColumn<QList<float>>("script");
        QTest::addColumn<int>("stepsLeft");
        QTest::addColumn<int>("stepX");
        QTest::addColumn<int>("stepY");
        QTest::addColumn<float>("tppX");
        QTest::addColumn<float>("tppY");
        QTest::addColumn<QList<float>>("place"); // left, top, screen width, screen height, width, height
        // After it.
        QTest::addColumn<int>("newStepsLeft");
        QTest::addColumn<int>("newStepX");
        QTest::addColumn<int>("newStepY");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("frame");

        const QList<float> middle{3000, 3000, 19200, 12000, 480, 480};

        // A fresh program has no steps left, so the first step starts a leg at once and the
        // load values -5 and -2 are never used.
        QTest::newRow("R1 0 gives a leg of 6; R2 and R3 0.5 stand still")
            << QList<float>{0.0f, 0.5f, 0.5f} << 0 << -5 << -2 << 15.f << 15.f << middle << 5 << 0 << 0
            << 3000 << 3000 << 1;
        QTest::newRow("R2 0 and R3 0 at 15 twips per pixel: -300 and -150")
            << QList<float>{0.0f, 0.0f, 0.0f} << 0 << -5 << -2 << 15.f << 15.f << middle << 5 << -300 << -150
            << 2700 << 2850 << 5;
        QTest::newRow("the largest values: leg 26, 20 and 10 pixels")
            << QList<float>{0.99999994f, 0.99999994f, 0.99999994f} << 0 << -5 << -2 << 15.f << 15.f << middle
            << 25 << 300 << 150 << 3300 << 3150 << 3;
        QTest::newRow("leg length 8.5 rounds to 8") << QList<float>{0.125f, 0.5f, 0.5f} << 0 << 0 << 0 << 15.f
                                                    << 15.f << middle << 7 << 0 << 0 << 3000 << 3000 << 1;
        QTest::newRow("leg length 13.5 rounds to 14")
            << QList<float>{0.375f, 0.5f, 0.5f} << 0 << 0 << 0 << 15.f << 15.f << middle << 13 << 0 << 0
            << 3000 << 3000 << 1;
        QTest::newRow("steps of 2.5 round to 2, -2.5 to -2")
            << QList<float>{0.0f, 0.5625f, 0.4375f} << 0 << 0 << 0 << 1.f << 2.f << middle << 5 << 2 << -2
            << 3002 << 2998 << 7;

        // A leg under way takes no random values and keeps its steps.
        QTest::newRow("4 left, not right, down: frame 0")
            << QList<float>{} << 5 << 0 << 15 << 15.f << 15.f << middle << 4 << 0 << 15 << 3000 << 3015 << 0;
        QTest::newRow("last step of a leg, left and up: frame 4")
            << QList<float>{} << 1 << -5 << -2 << 15.f << 15.f << middle << 0 << -5 << -2 << 2995 << 2998
            << 4;

        // The new position is rounded to whole twips, ties to even.
        QTest::newRow("left 100.5 rounds to 100")
            << QList<float>{} << 3 << 0 << 0 << 15.f << 15.f
            << QList<float>{100.5f, 101.5f, 19200, 12000, 480, 480} << 2 << 0 << 0 << 100 << 102 << 0;

        // The edges.
        QTest::newRow("past the left and top edges: 0")
            << QList<float>{} << 3 << -300 << -150 << 15.f << 15.f
            << QList<float>{100, 50, 19200, 12000, 480, 480} << 2 << -300 << -150 << 0 << 0 << 4;
        QTest::newRow("past the right and bottom edges: screen size less the frame")
            << QList<float>{} << 3 << 300 << 150 << 15.f << 15.f
            << QList<float>{18600, 11400, 19200, 12000, 480, 480} << 2 << 300 << 150 << 18720 << 11520 << 2;
        QTest::newRow("clamped position rounds ties to even")
            << QList<float>{} << 3 << 300 << 150 << 15.f << 15.f
            << QList<float>{18600, 11400, 19201.5f, 12000.5f, 480, 480} << 2 << 300 << 150 << 18722 << 11520
            << 2;
        QTest::newRow("a frame larger than the screen ends at 0 less the difference")
            << QList<float>{} << 3 << 0 << 0 << 15.f << 15.f << QList<float>{0, 0, 300, 300, 480, 480} << 2
            << 0 << 0 << -180 << -180 << 0;

        // The sums are single precision: 16777216 + 1 is 16777216, and 16777218 + 483 is
        // 16777700, which is not past a screen edge of 16777700.
        QTest::newRow("single-precision position and clamp")
            << QList<float>{} << 3 << 1 << 2 << 15.f << 15.f
            << QList<float>{16777216.f, 16777216.f, 16777700.f, 16777700.f, 483, 483} << 2 << 1 << 2
            << 16777216 << 16777218 << 2;
        QTest::newRow("single-precision position and clamp, the other way round")
            << QList<float>{} << 3 << 2 << 1 << 15.f << 15.f
            << QList<float>{16777216.f, 16777216.f, 16777700.f, 16777700.f, 483, 483} << 2 << 2 << 1
            << 16777218 << 16777216 << 2;
    }

    void step()
    {
        QFETCH(QList<float>, script);
        QFETCH(int, stepsLeft);
        QFETCH(int, stepX);
        QFETCH(int, stepY);
        QFETCH(float, tppX);
        QFETCH(float, tppY);
        QFETCH(QList<float>, place);

        Flight flight;
        flight.TwipsPerPixelX = tppX;
        flight.TwipsPerPixelY = tppY;
        flight.StepsLeft = std::int16_t(stepsLeft);
        flight.StepX = std::int16_t(stepX);
        flight.StepY = std::int16_t(stepY);
        ScriptedRandom random(std::vector<float>(script.begin(), script.end()));
        const FlightPlace where{place[0], place[1], place[2], place[3], place[4], place[5]};

        const FlightStep step = flight.Timer1_Timer(where, random);

        QCOMPARE(random.drawn, stepsLeft < 1 ? 3 : 0);
        QVERIFY(!random.overrun);
        QTEST(int(flight.StepsLeft), "newStepsLeft");
        QTEST(int(flight.StepX), "newStepX");
        QTEST(int(flight.StepY), "newStepY");
        QTEST(int(step.Left), "left");
        QTEST(int(step.Top), "top");
        QTEST(step.Frame, "frame");
    }

    void legsAlternateTheWings()
    {
        // A leg of 6 steps, right and down: frames 3, 2, 3, 2, 3, 2; then the next leg draws.
        Flight flight;
        ScriptedRandom random({0.0f, 0.75f, 0.75f, 0.0f, 0.5f, 0.5f});
        FlightPlace place{3000, 3000, 19200, 12000, 480, 480};
        QList<int> frames;
        for (int i = 0; i < 7; ++i)
            frames << flight.Timer1_Timer(place, random).Frame;
        QCOMPARE(frames, (QList<int>{3, 2, 3, 2, 3, 2, 1}));
        QCOMPARE(random.drawn, 6);
    }

    void clockRandomIsUniformBelowOne()
    {
        ClockRandom random;
        random.SeedFromClock();
        double sum = 0;
        float low = 1, high = 0;
        constexpr int count = 20000;
        for (int i = 0; i < count; ++i) {
            const float value = random.Next();
            QVERIFY(value >= 0.0f && value < 1.0f);
            low = std::min(low, value);
            high = std::max(high, value);
            sum += value;
        }
        QVERIFY(low < 0.01f);
        QVERIFY(high > 0.99f);
        QVERIFY(std::abs(sum / count - 0.5) < 0.02);
    }
};

QTEST_GUILESS_MAIN(TestFlight)
#include "test_flight.moc"
