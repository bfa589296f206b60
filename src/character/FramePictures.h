#pragma once
// The eight animation frames of the bird, as pixels. The window's shapes are cut from them
// when the window loads; nothing else reads their pixels, and the count of pixel reads
// shows it.

#include <QImage>
#include <QRgb>
#include <array>
#include <cstdint>

namespace pelloway {

inline constexpr int FrameCount = 8;
// The size of a frame in pixels, and so of the character window.
inline constexpr int FrameSize = 32;

class FramePictures
{
public:
    // Eight empty frames.
    FramePictures() = default;
    // The given pictures, in any format; each is kept as 32-bit RGB. Missing or empty
    // pictures stay empty and give an empty shape.
    explicit FramePictures(const std::array<QImage, FrameCount>& images);

    // The frames built into the program: a black bird carrying a letter.
    static FramePictures Shipped();

    const QImage& Picture(int frame) const { return m_images[frame]; }
    int Width(int frame) const { return m_images[frame].width(); }
    int Height(int frame) const { return m_images[frame].height(); }

    // The colour of pixel (x, y) of a frame as 0x00BBGGRR. Counted.
    std::uint32_t Pixel(int frame, int x, int y) const
    {
        ++m_pixelReads;
        const QRgb rgb = reinterpret_cast<const QRgb*>(m_images[frame].constScanLine(y))[x];
        return std::uint32_t(qRed(rgb)) | std::uint32_t(qGreen(rgb)) << 8 | std::uint32_t(qBlue(rgb)) << 16;
    }

    // How many pixels have been read since these pictures were made.
    std::uint64_t PixelReads() const { return m_pixelReads; }

private:
    std::array<QImage, FrameCount> m_images;
    mutable std::uint64_t m_pixelReads = 0;
};

} // namespace pelloway
