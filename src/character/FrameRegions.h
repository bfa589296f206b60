#pragma once
// The shapes of the character window, one per frame, kept as region data: a 32-byte header
// and a list of rectangles, little-endian, in the window system's canonical banded order.
//
//   offset  0  u32  dwSize    32
//   offset  4  u32  iType     1 (rectangles)
//   offset  8  u32  nCount    number of rectangles
//   offset 12  u32  nRgnSize  16 x nCount
//   offset 16  4 x s32 rcBound  left, top, right, bottom (all 0 for an empty shape)
//   offset 32  nCount x 4 x s32  left, top, right, bottom of each rectangle (right, bottom exclusive)
//
// A slot is 1648 bytes, room for 101 rectangles; a shape that needs more gets a slot just
// large enough for it, so a shape is never cut short.

#include <QByteArray>
#include <QRect>
#include <QRegion>
#include <array>
#include <cstdint>
#include <vector>

namespace pelloway {

class FramePictures;

inline constexpr int RegionHeaderBytes = 32;
inline constexpr int RegionRectBytes = 16;
inline constexpr int SlotRectangles = 101;
inline constexpr int SlotBytes = RegionHeaderBytes + SlotRectangles * RegionRectBytes; // 1648

// The header fields of one slot.
struct RegionHeader
{
    std::uint32_t dwSize = 0;
    std::uint32_t iType = 0;
    std::uint32_t nCount = 0;
    std::uint32_t nRgnSize = 0;
    std::array<std::int32_t, 4> rcBound{}; // left, top, right, bottom
};

// The region data of one frame: pixels equal to the key colour, the colour of pixel (0, 0),
// are left out; every other pixel belongs to the shape. Exact colour comparison.
QByteArray BuildFrameRegion(const FramePictures& pictures, int frame);

// Reads the header of a slot; a slot too short for a header reads as all zero.
RegionHeader ReadRegionHeader(const QByteArray& slot);

// The rectangles of a slot, as many as the header counts and the slot holds.
std::vector<QRect> RegionRects(const QByteArray& slot);

// A new region made from a slot's rectangles, as the window's shape for one step.
QRegion RegionFromSlot(const QByteArray& slot);

// The eight slots, index = frame number.
class FrameRegions
{
public:
    // Fills every slot from the frames, 0 to 7 in that order.
    void BuildFrameRegions(const FramePictures& pictures);

    const QByteArray& Slot(int frame) const { return m_slots[frame]; }

private:
    std::array<QByteArray, 8> m_slots;
};

} // namespace pelloway
