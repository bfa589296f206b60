#include "character/FramePictures.h"

#include <QString>

// The resources live in a static library, so they are registered by hand.
static void InitBirdResources()
{
    Q_INIT_RESOURCE(bird);
}

namespace pelloway {

FramePictures::FramePictures(const std::array<QImage, FrameCount>& images)
{
    for (int i = 0; i < FrameCount; ++i) {
        if (!images[i].isNull())
            m_images[i] = images[i].convertToFormat(QImage::Format_RGB32);
    }
}

FramePictures FramePictures::Shipped()
{
    InitBirdResources();
    std::array<QImage, FrameCount> images;
    for (int i = 0; i < FrameCount; ++i)
        images[i] = QImage(QStringLiteral(":/pelloway/bird/frame%1.bmp").arg(i));
    return FramePictures(images);
}

} // namespace pelloway
