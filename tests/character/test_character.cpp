// The character window: the shapes cut from its frames (every slot checked against one
// invariant: the header, the exact cover of the shape's pixels, the canonical banded order,
// zeros after the last rectangle, a slot that grows rather than cuts a shape short), the
// flight step (legs from the random source, single-precision arithmetic with ties to even,
// the clamps at the screen's edges, the frame of each step), and the window offscreen: its
// load step, a step that reads no pixel, the mouse buttons and its life across hiding and
// unloading.

#include "ScriptedRandom.h"
#include "character/Flight.h"
#include "character/Form1Window.h"
#include "character/FramePictures.h"
#include "character/FrameRegions.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <QtEndian>

using namespace pelloway;
using pelloway::test::ScriptedRandom;

namespace {

// A 32 x 32 picture drawn from rows of characters on white: '#' black, 'w' one step off white.
QImage drawn(const QStringList& rows)
{
    QImage image(32, 32, QImage::Format_RGB888);
    image.fill(Qt::white);
    for (int y = 0; y < rows.size(); ++y) {
        for (int x = 0; x < rows[y].size(); ++x) {
            if (rows[y][x] != u'.')
                image.setPixel(x, y, rows[y][x] == u'w' ? qRgb(254, 255, 255) : qRgb(0, 0, 0));
        }
    }
    return image;
}

QByteArray oneSlot(const QImage& image)
{
    return BuildFrameRegion(FramePictures({image}), 0);
}

// The shape as the union of one square per pixel that differs from pixel (0, 0).
QRegion pixelUnion(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QRegion region;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != image.pixel(0, 0))
                region += QRect(x, y, 1, 1);
        }
    }
    return region;
}

// What is wrong with the slot cut from `image`, or an empty text. The canonical banded form:
// bands top to bottom without overlap, every rectangle of a band with the band's top and
// bottom, rectangles left to right with a gap between them, and no two touching bands with
// the same runs. With the exact cover this leaves one right answer for every shape.
QString slotFault(const QImage& image)
{
    const QByteArray slot = oneSlot(image);
    const RegionHeader header = ReadRegionHeader(slot);
    const std::vector<QRect> rects = RegionRects(slot);
    const qsizetype used = RegionHeaderBytes + RegionRectBytes * qsizetype(rects.size());
    if (header.dwSize != 32 || header.iType != 1 || header.nCount != rects.size() ||
        header.nRgnSize != 16 * rects.size())
        return QStringLiteral("header %1 %2 %3 %4")
            .arg(header.dwSize)
            .arg(header.iType)
            .arg(header.nCount)
            .arg(header.nRgnSize);
    if (slot.size() != std::max<qsizetype>(SlotBytes, used))
        return QStringLiteral("slot of %1 bytes for %2 rectangles").arg(slot.size()).arg(rects.size());
    if (slot.mid(used) != QByteArray(slot.size() - used, '\0'))
        return QStringLiteral("bytes after the last rectangle");
    const QRegion expected = pixelUnion(image);
    if (!RegionFromSlot(slot).xored(expected).isEmpty()) // Qt may use more rectangles: compare covers
        return QStringLiteral("the rectangles do not cover the shape's pixels");
    const QRect box = expected.boundingRect();
    const std::array<std::int32_t, 4> bound =
        box.isEmpty() ? std::array<std::int32_t, 4>{}
                      : std::array<std::int32_t, 4>{box.left(), box.top(), box.right() + 1, box.bottom() + 1};
    if (header.rcBound != bound)
        return QStringLiteral("bound %1,%2,%3,%4")
            .arg(header.rcBound[0])
            .arg(header.rcBound[1])
            .arg(header.rcBound[2])
            .arg(header.rcBound[3]);

    struct Band
    {
        int top, bottom;
        std::vector<std::pair<int, int>> runs;
    };
    std::vector<Band> bands;
    for (const QRect& r : rects) {
        if (bands.empty() || r.top() != bands.back().top) {
            if (!bands.empty() && r.top() < bands.back().bottom)
                return QStringLiteral("band at %1 overlaps or runs upwards").arg(r.top());
            bands.push_back({r.top(), r.bottom() + 1, {}});
        } else if (r.bottom() + 1 != bands.back().bottom) {
            return QStringLiteral("rectangle at %1, %2 leaves its band").arg(r.left()).arg(r.top());
        } else if (r.left() <= bands.back().runs.back().second) {
            return QStringLiteral("rectangle at %1, %2 touches its left neighbour")
                .arg(r.left())
                .arg(r.top());
        }
        bands.back().runs.emplace_back(r.left(), r.right() + 1);
    }
    for (std::size_t i = 1; i < bands.size(); ++i) {
        if (bands[i].top == bands[i - 1].bottom && bands[i].runs == bands[i - 1].runs)
            return QStringLiteral("bands at %1 and %2 should be one").arg(bands[i - 1].top).arg(bands[i].top);
    }
    return QString();
}

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

class TestCharacter : public QObject
{
    Q_OBJECT

private slots:
    void shapes_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::newRow("all key colour: empty, bound all zero") << drawn({});
        QTest::newRow("rows with the same run form one band") << drawn({"..###", "..###"});
        QTest::newRow("same runs apart by an empty row") << drawn({"", ".##", "", ".##"});
        QTest::newRow("off-white belongs to the shape") << drawn({"", "", ".ww#"});
        QTest::newRow("key colour from (0, 0), see-through everywhere") << drawn({"#.", "..#", "...#"});
        QImage edge = drawn({});
        edge.setPixel(31, 31, qRgb(0, 0, 0));
        QTest::newRow("shape at the right and bottom edges") << edge;
        // A chequerboard needs 16 rectangles in each of 32 rows: a slot larger than the standard.
        QImage board(32, 32, QImage::Format_RGB32);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x)
                board.setPixel(x, y, (x + y) % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
        QTest::newRow("chequerboard: 512 rectangles") << board;
        QTest::newRow("no picture") << QImage();
        QImage wide(40, 2, QImage::Format_RGB32);
        wide.fill(Qt::white);
        wide.setPixel(39, 1, qRgb(0, 0, 0));
        QTest::newRow("larger than a frame") << wide;
        QImage tiny(1, 1, QImage::Format_ARGB32);
        tiny.fill(Qt::transparent);
        QTest::newRow("one pixel, with alpha") << tiny;
        // Random shapes; rows repeat now and then, so that bands of several rows occur.
        for (int percent : {3, 30, 70, 97}) {
            for (quint32 seed : {1u, 2u}) {
                QRandomGenerator random(seed);
                QImage image = drawn({});
                for (int y = 1; y < 32; ++y) {
                    const bool repeat = random.bounded(3) == 0;
                    for (int x = 0; x < 32; ++x) {
                        if (repeat)
                            image.setPixel(x, y, image.pixel(x, y - 1));
                        else if (int(random.bounded(100)) < percent)
                            image.setPixel(x, y, qRgb(int(random.bounded(3)) * 40, 0, 0));
                    }
                }
                QTest::addRow("random %d%%, seed %u", percent, seed) << image;
            }
        }
    }
    void shapes()
    {
        QFETCH(QImage, image);
        const QString fault = slotFault(image);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    void headerBytes()
    {
        // One pixel at (5, 7): the header and the one rectangle, byte for byte.
        const QByteArray slot = oneSlot(drawn({"", "", "", "", "", "", "", ".....#"}));
        QCOMPARE(slot.left(48).toHex(), QByteArray("20000000"
                                                   "01000000"
                                                   "01000000"
                                                   "10000000"
                                                   "05000000070000000600000008000000"
                                                   "05000000070000000600000008000000"));
    }

    void shortSlotsReadSafely()
    {
        QCOMPARE(ReadRegionHeader(QByteArray(10, '\x7f')).nCount, 0u);
        QVERIFY(RegionRects(QByteArray(10, '\x7f')).empty());
        // A header that claims more rectangles than the slot holds reads no further than
        // the slot's end.
        QByteArray slot = oneSlot(drawn({"", ".#"}));
        qToLittleEndian<std::uint32_t>(1000, slot.data() + 8);
        slot.truncate(32 + 16 * 3);
        for (int i = 1; i < 3; ++i)
            slot.replace(32 + 16 * i, 16, slot.mid(32, 16));
        QCOMPARE(RegionRects(slot).size(), std::size_t(3));
    }

    void shippedFrames()
    {
        const FramePictures pictures = FramePictures::Shipped();
        FrameRegions regions;
        regions.BuildFrameRegions(pictures);
        for (int frame = 0; frame < FrameCount; ++frame) {
            const QImage& picture = pictures.Picture(frame);
            QCOMPARE(picture.size(), QSize(32, 32));
            QCOMPARE(picture.pixel(0, 0), qRgb(255, 255, 255));
            QCOMPARE(regions.Slot(frame), oneSlot(picture));
            QVERIFY2(slotFault(picture).isEmpty(), qPrintable(slotFault(picture)));
            // Room to spare in the standard slot; the bird and its letter span most of the frame.
            const RegionHeader header = ReadRegionHeader(regions.Slot(frame));
            QVERIFY2(header.nCount > 10 && header.nCount <= 80, qPrintable(QString::number(header.nCount)));
            QVERIFY(header.rcBound[2] - header.rcBound[0] > 20);
        }
        for (int frame = 4; frame < 8; ++frame)
            QCOMPARE(regions.Slot(frame), regions.Slot(frame - 4));
        // 2 and 3 are 0 and 1 facing the other way; 0 and 1 differ in the wings.
        for (int frame = 0; frame < 2; ++frame)
            QCOMPARE(pictures.Picture(frame + 2), pictures.Picture(frame).mirrored(true, false));
        QVERIFY(regions.Slot(0) != regions.Slot(1));
    }

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

        QCOMPARE(random.drawn, stepsLeft < 1 ? 3 : 0); // a fourth value would run past the script
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
        QTest::newRow("right ends the program") << Qt::RightButton << 1;
        QTest::newRow("middle does nothing") << Qt::MiddleButton << 0;
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
        QVERIFY(!form.IsDragged());
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

QTEST_MAIN(TestCharacter)
#include "test_character.moc"
