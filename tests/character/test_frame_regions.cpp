// The shapes cut from the frames: every slot checked against one invariant (the header, the
// exact cover of the shape's pixels, the canonical banded order, zeros after the last
// rectangle, a slot that grows rather than cuts a shape short), the header's bytes, short
// slots, and the shipped frames.

#include "character/FramePictures.h"
#include "character/FrameRegions.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

using namespace pelloway;

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

} // namespace

class TestFrameRegions : public QObject
{
    Q_OBJECT

private slots:
    void shapes_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::newRow("all key colour: empty, bound all zero") << drawn({});
        QTest::newRow("single pixel") << drawn({"", "", ".....#"});
        QTest::newRow("rows with the same run form one band") << drawn({"..###", "..###"});
        QTest::newRow("two runs in one band") << drawn({"", ".##..#", ".##..#"});
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
};

QTEST_GUILESS_MAIN(TestFrameRegions)
#include "test_frame_regions.moc"
