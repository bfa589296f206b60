// The shapes cut from the frames: exact region data, canonical banded order, slots that
// grow rather than cut a shape short, and the shipped frames.

#include "character/FramePictures.h"
#include "character/FrameRegions.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

using namespace pelloway;

namespace {

// A rectangle given as left, top, right, bottom with right and bottom exclusive.
QRect R(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QRgb colourOf(char c)
{
    switch (c) {
    case '.':
        return qRgb(255, 255, 255);
    case '#':
        return qRgb(0, 0, 0);
    case 'r':
        return qRgb(200, 30, 30);
    case 'w':
        return qRgb(254, 255, 255); // one step off white
    default:
        return qRgb(20, 90, 20);
    }
}

// A picture drawn from rows of characters on a white background of the given size.
QImage drawn(const QStringList& rows, QSize size = QSize(32, 32))
{
    QImage image(size, QImage::Format_RGB888);
    image.fill(Qt::white);
    for (int y = 0; y < rows.size(); ++y) {
        for (int x = 0; x < rows[y].size(); ++x)
            image.setPixel(x, y, colourOf(rows[y][x].toLatin1()));
    }
    return image;
}

QByteArray oneSlot(const QImage& image)
{
    return BuildFrameRegion(FramePictures({image}), 0);
}

// The shape as the union of one square per pixel that differs from pixel (0, 0); Qt's own
// region code keeps it in the same banded order.
QRegion pixelUnion(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QRegion region;
    if (image.isNull())
        return region;
    const QRgb key = image.pixel(0, 0);
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixel(x, y) != key)
                region += QRect(x, y, 1, 1);
        }
    }
    return region;
}

// Qt may keep the same cover in more rectangles than the canonical form, so regions are
// compared by the pixels they cover.
bool sameCover(const QRegion& a, const QRegion& b)
{
    return a.xored(b).isEmpty();
}

// The canonical banded form, checked property by property: bands top to bottom without
// overlap, every rectangle of a band with the band's top and bottom, rectangles left to right
// with a gap between them, and no two touching bands with the same runs.
QString canonicalFault(const std::vector<QRect>& rects)
{
    struct Band
    {
        int top, bottom;
        std::vector<std::pair<int, int>> runs;
    };
    std::vector<Band> bands;
    for (const QRect& r : rects) {
        if (r.isEmpty())
            return QStringLiteral("empty rectangle");
        if (bands.empty() || r.top() != bands.back().top) {
            if (!bands.empty() && r.top() < bands.back().bottom)
                return QStringLiteral("band at %1 overlaps or runs upwards").arg(r.top());
            bands.push_back({r.top(), r.bottom() + 1, {}});
        } else if (r.bottom() + 1 != bands.back().bottom) {
            return QStringLiteral("rectangle at %1, %2 leaves its band").arg(r.left()).arg(r.top());
        } else if (r.left() <= bands.back().runs.back().second) {
            return QStringLiteral("rectangle at %1, %2 touches or precedes its left neighbour")
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
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QList<QRect>>("rects");
        QTest::addColumn<QList<int>>("bound");

        QTest::newRow("all key colour: empty, bound all zero")
            << QStringList{} << QList<QRect>{} << QList<int>{0, 0, 0, 0};
        QTest::newRow("single pixel at (5, 7)") << QStringList{"", "", "", "", "", "", "", ".....#"}
                                                << QList<QRect>{R(5, 7, 6, 8)} << QList<int>{5, 7, 6, 8};
        QTest::newRow("solid 10 x 4 block: one rectangle")
            << QStringList{"", "", "...##########", "...##########", "...##########", "...##########"}
            << QList<QRect>{R(3, 2, 13, 6)} << QList<int>{3, 2, 13, 6};
        QTest::newRow("two rows with the same run form one band")
            << QStringList{"..###", "..###"} << QList<QRect>{R(2, 0, 5, 2)} << QList<int>{2, 0, 5, 2};
        QTest::newRow("two runs in one band, left to right")
            << QStringList{"", ".##..#", ".##..#"} << QList<QRect>{R(1, 1, 3, 3), R(5, 1, 6, 3)}
            << QList<int>{1, 1, 6, 3};
        QTest::newRow("rows with different runs are bands of their own, top to bottom")
            << QStringList{"", "..#", ".###", "#####"}
            << QList<QRect>{R(2, 1, 3, 2), R(1, 2, 4, 3), R(0, 3, 5, 4)} << QList<int>{0, 1, 5, 4};
        QTest::newRow("same runs apart by an empty row stay two bands")
            << QStringList{"", ".##", "", ".##"} << QList<QRect>{R(1, 1, 3, 2), R(1, 3, 3, 4)}
            << QList<int>{1, 1, 3, 4};
        QTest::newRow("colours are compared exactly: off-white belongs to the shape")
            << QStringList{"", "", ".wwr"} << QList<QRect>{R(1, 2, 4, 3)} << QList<int>{1, 2, 4, 3};
        QTest::newRow("shape reaching the right and bottom edges")
            << QStringList{"", "", "", "", "", "", "", "",
                           "", "", "", "", "", "", "", "",
                           "", "", "", "", "", "", "", "",
                           "", "", "", "", "", "", "", "..............................##"}
            << QList<QRect>{R(30, 31, 32, 32)} << QList<int>{30, 31, 32, 32};
        QTest::newRow("key colour taken from (0, 0) is see-through everywhere")
            << QStringList{"#.", "..#", "...#"}
            << QList<QRect>{R(1, 0, 32, 1), R(0, 1, 2, 2),  R(3, 1, 32, 2),
                            R(0, 2, 3, 3),  R(4, 2, 32, 3), R(0, 3, 32, 32)}
            << QList<int>{0, 0, 32, 32};
    }

    void shapes()
    {
        QFETCH(QStringList, rows);
        QFETCH(QList<QRect>, rects);
        QFETCH(QList<int>, bound);

        const QImage image = drawn(rows);
        const QByteArray slot = oneSlot(image);
        QCOMPARE(slot.size(), SlotBytes);

        const RegionHeader header = ReadRegionHeader(slot);
        QCOMPARE(header.dwSize, 32u);
        QCOMPARE(header.iType, 1u);
        QCOMPARE(header.nCount, std::uint32_t(rects.size()));
        QCOMPARE(header.nRgnSize, std::uint32_t(16 * rects.size()));
        QCOMPARE((QList<int>{header.rcBound[0], header.rcBound[1], header.rcBound[2], header.rcBound[3]}),
                 bound);

        const std::vector<QRect> got = RegionRects(slot);
        QCOMPARE(QList<QRect>(got.begin(), got.end()), rects);
        QVERIFY(sameCover(RegionFromSlot(slot), pixelUnion(image)));
        // Nothing but zeros after the last rectangle.
        QCOMPARE(slot.mid(32 + 16 * rects.size()), QByteArray(SlotBytes - 32 - 16 * rects.size(), '\0'));
    }

    void headerBytes()
    {
        // One pixel at (5, 7): the header and the one rectangle, byte for byte.
        const QByteArray slot = oneSlot(drawn({"", "", "", "", "", "", "", ".....#"}));
        const QByteArray expected = QByteArray::fromHex("20000000"
                                                        "01000000"
                                                        "01000000"
                                                        "10000000"
                                                        "05000000070000000600000008000000"
                                                        "05000000070000000600000008000000");
        QCOMPARE(slot.left(48).toHex(), expected.toHex());
    }

    // Random shapes: the rectangles cover exactly the shape's pixels, in canonical order.
    void canonicalOrder_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<quint32>("seed");
        for (int percent : {3, 30, 70, 97}) {
            for (quint32 seed : {1u, 2u, 3u})
                QTest::addRow("%d%% shape, seed %u", percent, seed) << percent << seed;
        }
    }

    void canonicalOrder()
    {
        QFETCH(int, percent);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        QImage image(32, 32, QImage::Format_RGB32);
        image.fill(Qt::white);
        // Rows repeat now and then, so that bands of several rows occur.
        for (int y = 1; y < 32; ++y) {
            if (random.bounded(3) == 0) {
                for (int x = 0; x < 32; ++x)
                    image.setPixel(x, y, image.pixel(x, y - 1));
                continue;
            }
            for (int x = 0; x < 32; ++x) {
                if (int(random.bounded(100)) < percent)
                    image.setPixel(x, y, qRgb(int(random.bounded(3)) * 40, 0, 0));
            }
        }
        const QByteArray slot = oneSlot(image);
        const QRegion expected = pixelUnion(image);
        const std::vector<QRect> got = RegionRects(slot);
        const QString fault = canonicalFault(got);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QVERIFY(sameCover(RegionFromSlot(slot), expected));
        const RegionHeader header = ReadRegionHeader(slot);
        const QRect box = expected.boundingRect();
        if (!box.isEmpty()) {
            QCOMPARE(header.rcBound[0], box.left());
            QCOMPARE(header.rcBound[1], box.top());
            QCOMPARE(header.rcBound[2], box.right() + 1);
            QCOMPARE(header.rcBound[3], box.bottom() + 1);
        }
        QCOMPARE(slot.size(), std::max<qsizetype>(SlotBytes, 32 + 16 * qsizetype(got.size())));
    }

    void largeShapeGetsALargerSlot()
    {
        // A chequerboard needs 16 rectangles in each of 32 rows.
        QImage image(32, 32, QImage::Format_RGB32);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x)
                image.setPixel(x, y, (x + y) % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
        const QByteArray slot = oneSlot(image);
        const RegionHeader header = ReadRegionHeader(slot);
        QCOMPARE(header.nCount, 512u);
        QCOMPARE(header.nRgnSize, 512u * 16);
        QCOMPARE(slot.size(), 32 + 512 * 16);
        QVERIFY(sameCover(RegionFromSlot(slot), pixelUnion(image)));
    }

    void oddPictures_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("count");
        QTest::newRow("no picture") << QImage() << 0;
        QImage wide(40, 2, QImage::Format_RGB32);
        wide.fill(Qt::white);
        wide.setPixel(39, 1, qRgb(0, 0, 0));
        QTest::newRow("larger than a frame") << wide << 1;
        QImage tiny(1, 1, QImage::Format_ARGB32);
        tiny.fill(Qt::transparent);
        QTest::newRow("one pixel, with alpha") << tiny << 0;
    }

    void oddPictures()
    {
        QFETCH(QImage, image);
        QFETCH(int, count);
        const QByteArray slot = oneSlot(image);
        QCOMPARE(slot.size(), SlotBytes);
        QCOMPARE(ReadRegionHeader(slot).nCount, std::uint32_t(count));
        QVERIFY(sameCover(RegionFromSlot(slot), pixelUnion(image)));
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
            const QByteArray& slot = regions.Slot(frame);
            const RegionHeader header = ReadRegionHeader(slot);
            // Room to spare in the standard slot.
            QCOMPARE(slot.size(), SlotBytes);
            QVERIFY2(header.nCount > 10 && header.nCount <= 80, qPrintable(QString::number(header.nCount)));
            QVERIFY(sameCover(RegionFromSlot(slot), pixelUnion(picture)));
            QVERIFY(canonicalFault(RegionRects(slot)).isEmpty());
            // The bird and its letter span most of the frame.
            QVERIFY(RegionFromSlot(slot).boundingRect().width() > 20);
        }
        for (int frame = 4; frame < 8; ++frame)
            QCOMPARE(regions.Slot(frame), regions.Slot(frame - 4));
        // 2 and 3 are 0 and 1 facing the other way; 0 and 1 differ in the wings.
        for (int frame = 0; frame < 2; ++frame) {
            QCOMPARE(pictures.Picture(frame + 2), pictures.Picture(frame).mirrored(true, false));
        }
        QVERIFY(regions.Slot(0) != regions.Slot(1));
    }
};

QTEST_GUILESS_MAIN(TestFrameRegions)
#include "test_frame_regions.moc"
