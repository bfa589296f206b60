#include "character/FrameRegions.h"

#include "character/FramePictures.h"

#include <QtEndian>
#include <algorithm>

namespace pelloway {

namespace {

struct Run
{
    int x0;
    int x1; // exclusive
    bool operator==(const Run&) const = default;
};

void putU32(char* at, std::uint32_t value)
{
    qToLittleEndian<std::uint32_t>(value, at);
}

void putS32(char* at, std::int32_t value)
{
    qToLittleEndian<std::int32_t>(value, at);
}

std::uint32_t getU32(const char* at)
{
    return qFromLittleEndian<std::uint32_t>(at);
}

std::int32_t getS32(const char* at)
{
    return qFromLittleEndian<std::int32_t>(at);
}

// The runs of shape pixels in row y, left to right.
void rowRuns(const FramePictures& pictures, int frame, int y, std::uint32_t key, std::vector<Run>& runs)
{
    runs.clear();
    const int width = pictures.Width(frame);
    int x = 0;
    while (x < width) {
        while (x < width && pictures.Pixel(frame, x, y) == key)
            ++x;
        if (x == width)
            break;
        const int start = x;
        while (x < width && pictures.Pixel(frame, x, y) != key)
            ++x;
        runs.push_back({start, x});
    }
}

} // namespace

QByteArray BuildFrameRegion(const FramePictures& pictures, int frame)
{
    struct Band
    {
        int top;
        int bottom;
        std::size_t firstRun; // into runs
        std::size_t runCount;
    };
    std::vector<Run> allRuns;
    std::vector<Band> bands;
    std::vector<Run> row;

    const int width = pictures.Width(frame);
    const int height = pictures.Height(frame);
    if (width > 0 && height > 0) {
        const std::uint32_t key = pictures.Pixel(frame, 0, 0);
        for (int y = 0; y < height; ++y) {
            rowRuns(pictures, frame, y, key, row);
            if (row.empty())
                continue;
            if (!bands.empty()) {
                Band& last = bands.back();
                if (last.bottom == y && last.runCount == row.size() &&
                    std::equal(row.begin(), row.end(), allRuns.begin() + std::ptrdiff_t(last.firstRun))) {
                    last.bottom = y + 1;
                    continue;
                }
            }
            bands.push_back({y, y + 1, allRuns.size(), row.size()});
            allRuns.insert(allRuns.end(), row.begin(), row.end());
        }
    }

    const std::size_t count = allRuns.size();
    const qsizetype size =
        std::max<qsizetype>(SlotBytes, RegionHeaderBytes + qsizetype(count) * RegionRectBytes);
    QByteArray slot(size, '\0');
    char* data = slot.data();

    int left = 0, top = 0, right = 0, bottom = 0;
    char* at = data + RegionHeaderBytes;
    for (const Band& band : bands) {
        for (std::size_t i = 0; i < band.runCount; ++i) {
            const Run& run = allRuns[band.firstRun + i];
            if (at == data + RegionHeaderBytes) {
                left = run.x0;
                top = band.top;
                right = run.x1;
                bottom = band.bottom;
            } else {
                left = std::min(left, run.x0);
                right = std::max(right, run.x1);
                bottom = std::max(bottom, band.bottom);
            }
            putS32(at, run.x0);
            putS32(at + 4, band.top);
            putS32(at + 8, run.x1);
            putS32(at + 12, band.bottom);
            at += RegionRectBytes;
        }
    }

    putU32(data, RegionHeaderBytes);
    putU32(data + 4, 1);
    putU32(data + 8, std::uint32_t(count));
    putU32(data + 12, std::uint32_t(count * RegionRectBytes));
    putS32(data + 16, left);
    putS32(data + 20, top);
    putS32(data + 24, right);
    putS32(data + 28, bottom);
    return slot;
}

RegionHeader ReadRegionHeader(const QByteArray& slot)
{
    RegionHeader header;
    if (slot.size() < RegionHeaderBytes)
        return header;
    const char* data = slot.constData();
    header.dwSize = getU32(data);
    header.iType = getU32(data + 4);
    header.nCount = getU32(data + 8);
    header.nRgnSize = getU32(data + 12);
    for (std::size_t i = 0; i < header.rcBound.size(); ++i)
        header.rcBound[i] = getS32(data + 16 + 4 * i);
    return header;
}

std::vector<QRect> RegionRects(const QByteArray& slot)
{
    std::vector<QRect> rects;
    if (slot.size() < RegionHeaderBytes)
        return rects;
    const qsizetype room = (slot.size() - RegionHeaderBytes) / RegionRectBytes;
    const qsizetype count = std::min<qsizetype>(room, qsizetype(getU32(slot.constData() + 8)));
    rects.reserve(std::size_t(count));
    const char* at = slot.constData() + RegionHeaderBytes;
    for (qsizetype i = 0; i < count; ++i, at += RegionRectBytes) {
        const QPoint topLeft(getS32(at), getS32(at + 4));
        const QPoint bottomRight(getS32(at + 8) - 1, getS32(at + 12) - 1);
        const QRect rect(topLeft, bottomRight);
        if (!rect.isEmpty())
            rects.push_back(rect);
    }
    return rects;
}

QRegion RegionFromSlot(const QByteArray& slot)
{
    const std::vector<QRect> rects = RegionRects(slot);
    QRegion region;
    if (!rects.empty())
        region.setRects(rects.data(), int(rects.size()));
    return region;
}

void FrameRegions::BuildFrameRegions(const FramePictures& pictures)
{
    for (int frame = 0; frame < FrameCount; ++frame)
        m_slots[std::size_t(frame)] = BuildFrameRegion(pictures, frame);
}

} // namespace pelloway
